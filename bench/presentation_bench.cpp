// Throughput of the presentation code on a headless OGRE Root: glyphs through the object
// builder, and what label layers cost when nothing or one label changes.
#include "engine/presentation/labelmanager.h"
#include "engine/presentation/messagedisplay.h"
#include "engine/presentation/ogreobjectbuilder.h"
#include "engine/presentation/textlabel.h"
#include "engine/presentation/textlabelfactory.h"
#include "support/ogre/headlessogre.h"
#include "support/ogre/imagefont.h"

#include <OgreManualObject.h>
#include <OgreSceneManager.h>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace
{
const Ogre::Vector2 SOLID(0.03125f, 0.03125f), EDGE_A(0.015f, 0.03125f), EDGE_B(0.0475f, 0.03125f);

// A Root without a render system and an image font whose glyphs are set in code.
struct Headless
{
    test::HeadlessOgre ogre;
    test::ImageFont font;
    Ogre::SceneManager* scene = &ogre.sceneManager();
};

Headless& headless()
{
    static Headless instance;
    return instance;
}

std::string sampleText(size_t length)
{
    static const std::string words = "Player Korva joined the match on Foundry 2 with 1250 points. ";
    std::string text;
    while (text.size() < length)
        text += words;
    text.resize(length);
    return text;
}

void BuilderGlyphs(benchmark::State& state)
{
    Ogre::ManualObject* object = headless().scene->createManualObject();
    const std::string text = sampleText(static_cast<size_t>(state.range(0)));
    size_t glyphs = 0;
    for (char c : text)
        glyphs += c > ' ';
    for (auto _ : state)
    {
        brix::OgreObjectBuilder builder(object, test::ImageFont::NAME, SOLID, EDGE_A, EDGE_B);
        builder.begin(true);
        builder.addText(Ogre::Vector3::ZERO, text, 0.05f, Ogre::ColourValue::White,
                        brix::OgreObjectBuilder::ALIGN_MIDDLE, brix::OgreObjectBuilder::ALIGN_MIDDLE, 0);
        builder.end();
    }
    state.counters["glyphs/s"] =
        benchmark::Counter(static_cast<double>(glyphs) * state.iterations(), benchmark::Counter::kIsRate);
    headless().scene->destroyManualObject(object);
}
BENCHMARK(BuilderGlyphs)->Arg(64)->Arg(1024)->Arg(10000);

// 60 labels over 4 layers; per frame either nothing changes or one label's text does.
void LabelFrame(benchmark::State& state)
{
    Ogre::SceneNode* node = headless().scene->getRootSceneNode()->createChildSceneNode();
    {
        brix::LabelManager labels(headless().scene, node, test::ImageFont::NAME, 4);
        labels.registerLabelType(new brix::TextLabelFactory());
        std::vector<brix::TextLabel*> all;
        for (int i = 0; i < 60; ++i)
        {
            auto* label =
                static_cast<brix::TextLabel*>(labels.addLabel("text", Ogre::Vector3(i * 1.0f, 2, 0)));
            label->setText("Guard " + std::to_string(i));
            label->setSubText(std::to_string(100 - i) + " HP");
            label->setLayerFlags(1u << (i % 4));
            all.push_back(label);
        }
        labels.update(0.02f);
        const bool change = state.range(0) != 0;
        int frame = 0;
        for (auto _ : state)
        {
            if (change)
                all[frame % all.size()]->setText("Guard " + std::to_string(frame));
            labels.update(0.02f);
            ++frame;
        }
    }
    headless().scene->destroySceneNode(node);
}
BENCHMARK(LabelFrame)->Arg(0)->Arg(1);

void MessageWrite(benchmark::State& state)
{
    brix::MessageDisplay messages(headless().scene, 8, 5, test::ImageFont::NAME, 0.05f, Ogre::ColourValue::White);
    for (auto _ : state)
        messages.writeMessage("Player Korva connected from 127.0.0.1", true);
}
BENCHMARK(MessageWrite);
} // namespace
