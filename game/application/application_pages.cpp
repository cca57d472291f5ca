#include "game/application/application.h"

#include "engine/presentation/messagedisplay.h"
#include "engine/presentation/ogremenu.h"
#include "engine/presentation/ogremenuactionitem.h"
#include "engine/presentation/ogremenupage.h"
#include "game/application/matchbrowser.h"
#include "game/level/level.h"
#include "game/level/levelcache.h"
#include "toolkit/peertext.h"
#include "game/multiplayer/player.h"
#include "game/multiplayer/playermanager.h"
#include "toolkit/stringutil.h"

#include <algorithm>
#include <list>

namespace game
{
namespace
{
const unsigned int HIGH_SCORE_ROWS = 5;
// Rank, name and score columns of the high-score and scoreboard rows.
const char* const SCORE_ROW_FORMAT = "0.05l|0.5l|0.15r";
// A score's custom text as shown: the player manager writes its time, kills and vials in fewer
// bytes; what others posted online may be anything.
const unsigned int MAX_CUSTOM_SIZE = 64;
} // namespace

// ---- Browsers ------------------------------------------------------------------------------

void Application::onPageUpdate(unsigned int browserId, int state)
{
    const char* pageName;
    const char* title;
    const char* format;
    const char* firstRowName;
    ListBrowser* browser;
    if (browserId == FILE_SHARE_BROWSER)
    {
        pageName = "download";
        title = "Browse shared levels";
        format = "0.35l|0.6l|0.15r";
        firstRowName = "level0";
        browser = mFileShareBrowser;
    }
    else if (browserId == MATCH_BROWSER)
    {
        pageName = "browse";
        title = "Browse online matches";
        format = "0.35l|0.35l|0.2r";
        firstRowName = "match0";
        browser = mMatchBrowser;
    }
    else
        return;
    brix::OgreMenuPage* page = mMenu->getPage(pageName);
    if (mBrowserState == ListBrowser::STATE_READY)
        mBrowserItemIndex = page->getCurrentItemIndex();
    const unsigned int firstRow = page->getItemIndex(firstRowName);
    const unsigned int previous = page->getItemIndex("previous");
    const unsigned int next = page->getItemIndex("next");
    const unsigned int back = page->getItemIndex("back");
    auto row = [page, firstRow](unsigned int r)
    { return static_cast<brix::OgreMenuActionItem*>(page->getItem(firstRow + r)); };

    if (state == ListBrowser::STATE_READY)
    {
        const unsigned int pages = browser->getPageCount();
        page->setTitle(pages > 1 ? std::string(title) + "(page " + std::to_string(browser->getPage() + 1) +
                                       "/" + std::to_string(pages) + ")"
                                 : std::string(title));
        const unsigned int shown = browser->getItemCountOnPage();
        for (unsigned int r = 0; r < BROWSER_ROWS; ++r)
        {
            brix::OgreMenuActionItem* item = row(r);
            item->setTitleFormat(format);
            item->setTitle(r < shown ? browser->getItemTitle(r) : std::string());
            item->setDescription(r < shown ? browser->getItemDescription(r) : std::string());
            item->setState(r < shown ? brix::OgreMenuItem::STATE_NORMAL : brix::OgreMenuItem::STATE_DISABLED);
        }
        const bool hasNext = browser->getPage() + 1 < pages;
        const bool hasPrevious = browser->getPage() > 0;
        page->getItem(next)->setState(hasNext ? brix::OgreMenuItem::STATE_NORMAL
                                              : brix::OgreMenuItem::STATE_DISABLED);
        page->getItem(previous)->setState(hasPrevious ? brix::OgreMenuItem::STATE_NORMAL
                                                      : brix::OgreMenuItem::STATE_DISABLED);

        page->setCurrentItem(firstRow);
        const unsigned int remembered = mBrowserItemIndex;
        auto selectable = [page](unsigned int index)
        { return page->getItem(index)->getState() == brix::OgreMenuItem::STATE_NORMAL; };
        if (remembered >= firstRow && remembered < firstRow + BROWSER_ROWS)
        {
            if (selectable(remembered))
                page->setCurrentItem(remembered);
        }
        else if (remembered >= previous && remembered <= back)
        {
            if (selectable(remembered))
                page->setCurrentItem(remembered);
            else if (remembered == next)
                page->setCurrentItem(previous);
            else if (remembered == previous)
                page->setCurrentItem(next);
        }
    }
    else
    {
        page->setTitle(title);
        for (unsigned int r = 0; r < BROWSER_ROWS; ++r)
        {
            brix::OgreMenuActionItem* item = row(r);
            item->setTitleFormat(r == 0 ? std::string() : std::string(format));
            item->setTitle(r > 0 ? "-" : state == ListBrowser::STATE_REFRESHING ? "Updating.." : "Error");
            item->setDescription(std::string());
            item->setState(brix::OgreMenuItem::STATE_DISABLED);
        }
        page->getItem(next)->setState(brix::OgreMenuItem::STATE_DISABLED);
        page->getItem(previous)->setState(brix::OgreMenuItem::STATE_DISABLED);
    }
    mBrowserState = state;
}

void Application::applyShareFilter()
{
    // All, multiplayer, single player: the flags value and mask of each.
    static const unsigned int VALUES[] = {0, 2, 1};
    static const unsigned int MASKS[] = {0, 3, 3};
    const unsigned int type = std::min(getMenuItem("filter", "type")->getIndex(), 2u);
    mFileShareBrowser->setFilter(getMenuItem("filter", "title")->getValue(),
                                 getMenuItem("filter", "author")->getValue(), VALUES[type], MASKS[type]);
}

void Application::showSharedLevel(unsigned int row)
{
    const brix::FileShare::FileInfo& entry = mFileShareBrowser->getEntry(row);
    Ogre::String base, extension;
    Ogre::StringUtil::splitBaseFilename(entry.name, base, extension);
    std::string type = (entry.flags & LevelCache::FLAG_SINGLE_PLAYER) ? "Single player" : "";
    if (entry.flags & LevelCache::FLAG_MULTIPLAYER)
        type = type.empty() ? std::string("Multiplayer") : type + ", multiplayer";
    getMenuItem("preview", "title")->setValue(entry.title);
    getMenuItem("preview", "filename")->setValue(entry.name);
    getMenuItem("preview", "type")->setValue(type);
    getMenuItem("preview", "author")->setValue(entry.author);
    getMenuItem("preview", "date")
        ->setValue(brix::StringUtil::timeStampToString(static_cast<int64_t>(entry.time), true));
    brix::OgreMenuActionItem* download = getActionItem("preview", "download");
    const LevelCache* cache = mLevel->getLevelCache();
    if (cache->hasLevel(base))
    {
        download->setTitle("Download (overwrite existing)");
        download->setState((cache->getFlags(base) & LevelCache::FLAG_BUILTIN)
                               ? brix::OgreMenuItem::STATE_DISABLED
                               : brix::OgreMenuItem::STATE_NORMAL);
    }
    else
    {
        download->setTitle("Download");
        download->setState(brix::OgreMenuItem::STATE_NORMAL);
    }
    mSharedLevelFile = entry.name;
}

void Application::onUploadComplete(const std::string& file)
{
    mMessageDisplay->writeMessage("Level '" + file + "' upload complete", true);
}

void Application::onDownloadComplete(const std::string& file)
{
    updateLevelLists();
    mMessageDisplay->writeMessage("Level '" + file + "' download complete", true);
}

// ---- High scores and the scoreboard --------------------------------------------------------

void Application::showHighScores(const std::string& highScoreName, bool online, bool continueMode)
{
    const std::string level = Level::getLevelNameOfHighScoreName(highScoreName);
    std::string title = mLevel->getLevelCache()->getTitle(level);
    if (title.empty())
        title = level;
    brix::OgreMenuPage* page = mMenu->getPage("highscore");
    page->setTitle(std::string(online ? "Online" : "Local") + " high-scores: " + title);
    getActionItem("highscore", "back")->setTitle(continueMode ? "Continue" : "Back");
    // The results of an editor's preview lead back to the editor, where the level may be
    // played again with its changes; those of a game lead on to the single-player page.
    const bool preview = mGameMode == MODE_EDITOR;
    getActionItem("highscore", "back")->setTargetPage(preview ? "editor" : "sp");
    setMenuItemState("highscore", "replay",
                     preview ? brix::OgreMenuItem::STATE_DISABLED : brix::OgreMenuItem::STATE_NORMAL);
    getActionItem("highscore", "switch")->setTitle(online ? "Show local" : "Show online");

    std::list<brix::HighScore> scores;
    const brix::HighScoreManager::Status status =
        online ? mHighScoreManager->getOnlineHighScores(highScoreName, scores)
               : mHighScoreManager->getLocalHighScores(highScoreName, scores);
    const unsigned int first = page->getItemIndex("score0");
    auto entry = scores.begin();
    for (unsigned int i = 0; i < HIGH_SCORE_ROWS; ++i)
    {
        brix::OgreMenuActionItem* row = static_cast<brix::OgreMenuActionItem*>(page->getItem(first + i));
        if (status == brix::HighScoreManager::STATUS_AVAILABLE)
        {
            fillHighScoreRow(row, i + 1, entry != scores.end() ? &*entry : nullptr);
            if (entry != scores.end())
                ++entry;
            continue;
        }
        row->setTitleFormat(std::string());
        row->setDescription(std::string());
        row->setState(brix::OgreMenuItem::STATE_DISABLED);
        if (i == 0)
            row->setTitle(status == brix::HighScoreManager::STATUS_PENDING ? "Updating.." : "Error");
        else
            row->setTitle(std::string());
    }
    mHighScoreOnline = online;
    mHighScoreName = highScoreName;
    mHighScoreContinue = continueMode;
}

void Application::fillHighScoreRow(brix::OgreMenuActionItem* row, unsigned int rank,
                                   const brix::HighScore* entry)
{
    row->setTitleFormat(SCORE_ROW_FORMAT);
    if (!entry)
    {
        row->setTitle(std::to_string(rank) + "|-|-");
        row->setDescription(std::string());
        row->setState(brix::OgreMenuItem::STATE_DISABLED);
        return;
    }
    // Local and online tables alike: online names and runs were typed by other players, and
    // a damaged local file holds anything.
    row->setTitle(std::to_string(rank) + "|" + brix::PeerText::forColumn(entry->name, Player::MAX_NAME_SIZE) +
                  "|" + std::to_string(entry->score));
    // The run's time, kills and vials, as the player manager writes them.
    const std::vector<std::string> parts =
        Ogre::StringUtil::tokenise(brix::PeerText::clean(entry->custom, MAX_CUSTOM_SIZE), "|", "\"");
    row->setDescription(parts.size() == 3
                            ? "Completion time " + parts[0] + "s, kills " + parts[1] + ", vials " + parts[2]
                            : std::string());
    row->setState(brix::OgreMenuItem::STATE_READ_ONLY);
}

void Application::onHighScoresUpdate(const std::string& highScoreName, bool online,
                                     brix::HighScoreManager::Status)
{
    if (highScoreName == mHighScoreName && online == mHighScoreOnline)
        showHighScores(highScoreName, online, mHighScoreContinue);
}

void Application::onHighScoreUpload(const std::string& level, bool success)
{
    if (success)
    {
        mMessageDisplay->writeMessage("New high-score posted online", true);
        mHighScoreManager->refresh(level);
    }
    else
        mMessageDisplay->writeMessage("Online high-score posting failed", true);
}

void Application::updateScoreboard()
{
    std::vector<Player*> players;
    mPlayerManager->getPlayers(players);
    std::stable_sort(players.begin(), players.end(),
                     [](const Player* a, const Player* b) { return a->getScore() > b->getScore(); });
    brix::OgreMenuPage* page = mMenu->getPage("scoreboard");
    const unsigned int first = page->getItemIndex("player0");
    const unsigned int slots = getSlotCount();
    for (unsigned int i = 0; i < PlayerManager::MAX_PLAYERS; ++i)
    {
        brix::OgreMenuActionItem* row = static_cast<brix::OgreMenuActionItem*>(page->getItem(first + i));
        if (i < players.size())
            fillScoreboardRow(row, i + 1, players[i]);
        else
            fillScoreboardRow(row, i < slots ? i + 1 : 0, nullptr);
    }
}

void Application::fillScoreboardRow(brix::OgreMenuActionItem* row, unsigned int rank, Player* player)
{
    row->setTitleFormat(SCORE_ROW_FORMAT);
    if (!player)
    {
        row->setTitle(rank != 0 ? std::to_string(rank) + "|-|-" : std::string());
        row->setDescription(std::string());
        row->setState(brix::OgreMenuItem::STATE_DISABLED);
        return;
    }
    row->setTitle(std::to_string(rank) + "|" +
                  brix::PeerText::forColumn(player->getName(), Player::MAX_NAME_SIZE) + "|" +
                  std::to_string(player->getScore()));
    row->setDescription("Kills " + std::to_string(player->getKills()) + ", vials " +
                        std::to_string(player->getVials()));
    row->setState(brix::OgreMenuItem::STATE_READ_ONLY);
}

} // namespace game
