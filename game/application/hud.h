#pragma once
#include <string>

namespace Ogre
{
class ManualObject;
class SceneManager;
class SceneNode;
} // namespace Ogre

namespace game
{
class Player;

// The heads-up display of one player's camera: name and score coloured by health (red to
// green), the two weapon slots with their rounds, the keys held, the shield energy bar and an
// optional controller-help image. Drawn in screen space (-1 to 1 both ways, horizontal sizes
// divided by the aspect ratio) into one manual object that only its own camera's viewport
// shows, and rebuilt only when something it shows has changed. Main thread only.
class HUD
{
public:
    static const char* const FONT_NAME;
    static const unsigned char RENDER_QUEUE_GROUP = 100;
    static const unsigned int WEAPON_SLOTS = 2;
    // The key bits shown, right to left.
    static const unsigned int KEY_BOXES = 3;
    static constexpr float TEXT_SIZE = 0.06f;
    static constexpr float KEY_TEXT_SIZE = 0.04f;
    static constexpr float MARGIN = 0.01f;
    // In split screen, at the edge where the other player's half begins: the two HUDs' bottom
    // lines would otherwise run into one another there and read as one.
    static constexpr float SEAM_MARGIN = 0.05f;
    static constexpr float BOTTOM = -0.99f;
    static constexpr float WEAPON_LINE_SPACING = 0.07f;
    static constexpr float KEY_ROW = -0.85f;
    static constexpr float KEY_BOX_SIZE = 0.05f;
    static constexpr float SHIELD_ROW = KEY_ROW + 0.065f;
    static constexpr float SHIELD_WIDTH = 0.24f;
    static constexpr float SHIELD_HEIGHT = 0.04f;
    static constexpr float LINE_WIDTH = 0.005f;

    // What the HUD shows; a weapon with an empty name is an empty slot. Its rounds are those
    // beyond the clip: a weapon with none left shows red.
    struct TWeapon
    {
        std::string name;
        int rounds = 0;
        int clip = 0;
    };
    struct TStatus
    {
        std::string name;
        float health = 0.0f;
        TWeapon weapons[WEAPON_SLOTS];
        unsigned int currentWeapon = 0;
        unsigned int keyMask = 0;
        float shieldEnergy = 0.0f;
    };

    // The object is seen by the viewport of that camera index only.
    HUD(int cameraIndex, Ogre::SceneManager* sceneManager);
    virtual ~HUD();
    HUD(const HUD&) = delete;
    HUD& operator=(const HUD&) = delete;

    void setAspectRatio(float aspectRatio);
    // The edge of the view that borders the other half of a split screen: -1 the left one,
    // 1 the right one, 0 none.
    void setSeam(int side);
    // While false, update hides the HUD and does nothing else.
    void setVisible(bool visible);
    // The material of the controller-help image; empty for none.
    void setInfoText(const std::string& material);

    // Per frame: shows the player's status, hidden without a player or its human.
    void update(Player* player);
    // Shows this status; what the player's update ends in.
    void update(const TStatus& status);

    Ogre::ManualObject* getObject() const { return mObject; }
    // How often the object was drawn anew, for statistics.
    unsigned int getRebuildCount() const { return mRebuilds; }

private:
    void rebuild();

    Ogre::SceneManager* mSceneManager;
    Ogre::ManualObject* mObject;
    Ogre::SceneNode* mNode;
    float mAspectRatio = 1.0f;
    int mSeam = 0;
    TStatus mStatus;
    std::string mInfoImage;
    // The image the object's second section was drawn with.
    std::string mBuiltInfoImage;
    bool mDirty = true;
    bool mVisible = true;
    unsigned int mRebuilds = 0;
};
} // namespace game
