#include "toolkit/xmlelement.h"

#include <benchmark/benchmark.h>

#ifdef HAVE_TINYXML2
#include <tinyxml2.h>
#endif
#ifdef HAVE_PUGIXML
#include <pugixml.hpp>
#endif

#include <cstdio>
#include <string>
#include <unistd.h>

namespace
{
std::string readWhole(const char* path)
{
    std::string text;
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return text;
    char buffer[65536];
    std::size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, count);
    std::fclose(file);
    return text;
}

// A formatted level of about 10 MB: blocks with positions, and entities, the way the editor
// writes them.
std::string makeLevel()
{
    const std::size_t targetSize = 10u << 20;
    brix::XMLElement level("level");
    level.createChild("name")->setValue("Generated &amp; measured");
    level.createChild("author")->setValue("bench");
    level.createChild("!-- blocks of the main layer --");
    brix::XMLElement* blocks = level.createChild("blocks");
    brix::XMLElement* entities = level.createChild("entities");
    for (int i = 0;; ++i)
    {
        brix::XMLElement* block = blocks->createChild("block");
        block->createChild("type")->setValue(i % 7 == 0 ? "wall_corner_<large>" : "floor_plate");
        brix::XMLElement* position = block->createChild("position");
        position->createChild("x")->setValue(i * 0.5f);
        position->createChild("y")->setValue((i % 40) * -1.25f);
        position->createChild("z")->setValue(0.0f);
        block->createChild("rotation")->setValue(i % 4 * 90);
        block->createChild("layer")->setValue(i % 3);
        if (i % 10 == 0)
        {
            brix::XMLElement* entity = entities->createChild("entity");
            entity->createChild("class")->setValue("sentrygun");
            entity->createChild("name")->setValue("guard post number " + std::to_string(i) +
                                                  " watching the northern corridor");
            entity->createChild("flags")->setValue(i);
            entity->createChild("state")->setValue(true);
        }
        // Tabs and line ends add about a third to the unformatted size.
        if (i % 2000 == 1999 && level.toString().size() * 4 / 3 >= targetSize)
            break;
    }
    char path[] = "/tmp/xml_bench_XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0)
        return std::string();
    close(fd);
    level.save(path, true);
    std::string text = readWhole(path);
    std::remove(path);
    return text;
}

const std::string& levelText()
{
    static const std::string text = makeLevel();
    return text;
}

void XMLElementParse(benchmark::State& state)
{
    const std::string& text = levelText();
    for (auto _ : state)
    {
        brix::XMLElement root("");
        int result = root.parse(text);
        if (result < 0)
            state.SkipWithError(brix::XMLElement::getLastError().c_str());
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(XMLElementParse)->Unit(benchmark::kMillisecond);

void XMLElementWrite(benchmark::State& state)
{
    brix::XMLElement root("");
    root.parse(levelText());
    std::size_t written = 0;
    for (auto _ : state)
    {
        std::string text = root.toString();
        written += text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(written));
}
BENCHMARK(XMLElementWrite)->Unit(benchmark::kMillisecond);

// Formatted, to a file, through the temporary file and its flush to disk.
void XMLElementSave(benchmark::State& state)
{
    brix::XMLElement root("");
    root.parse(levelText());
    char path[] = "/tmp/xml_bench_XXXXXX";
    int fd = mkstemp(path);
    if (fd >= 0)
        close(fd);
    std::size_t written = 0;
    for (auto _ : state)
    {
        int result = root.save(path, true);
        if (result < 0)
            state.SkipWithError(brix::XMLElement::getLastError().c_str());
        written += static_cast<std::size_t>(result);
    }
    std::remove(path);
    state.SetBytesProcessed(static_cast<int64_t>(written));
}
BENCHMARK(XMLElementSave)->Unit(benchmark::kMillisecond);

#ifdef HAVE_TINYXML2
void TinyXML2Parse(benchmark::State& state)
{
    const std::string& text = levelText();
    for (auto _ : state)
    {
        tinyxml2::XMLDocument document;
        tinyxml2::XMLError result = document.Parse(text.data(), text.size());
        if (result != tinyxml2::XML_SUCCESS)
            state.SkipWithError(document.ErrorStr());
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(TinyXML2Parse)->Unit(benchmark::kMillisecond);

void TinyXML2Write(benchmark::State& state)
{
    tinyxml2::XMLDocument document;
    document.Parse(levelText().data(), levelText().size());
    std::size_t written = 0;
    for (auto _ : state)
    {
        tinyxml2::XMLPrinter printer(nullptr, true);
        document.Print(&printer);
        written += static_cast<std::size_t>(printer.CStrSize() - 1);
        benchmark::DoNotOptimize(printer.CStr());
    }
    state.SetBytesProcessed(static_cast<int64_t>(written));
}
BENCHMARK(TinyXML2Write)->Unit(benchmark::kMillisecond);
#endif

#ifdef HAVE_PUGIXML
void PugiXMLParse(benchmark::State& state)
{
    const std::string& text = levelText();
    for (auto _ : state)
    {
        // A copy of the text, as the other readers keep their own.
        pugi::xml_document document;
        pugi::xml_parse_result result = document.load_buffer(text.data(), text.size());
        if (!result)
            state.SkipWithError(result.description());
        benchmark::DoNotOptimize(result.status);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(PugiXMLParse)->Unit(benchmark::kMillisecond);

// Unformatted, into memory, like the other writers.
class StringWriter : public pugi::xml_writer
{
public:
    void write(const void* data, std::size_t size) override
    {
        mText.append(static_cast<const char*>(data), size);
    }
    std::string mText;
};

void PugiXMLWrite(benchmark::State& state)
{
    pugi::xml_document document;
    document.load_buffer(levelText().data(), levelText().size());
    std::size_t written = 0;
    for (auto _ : state)
    {
        StringWriter writer;
        document.save(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
        written += writer.mText.size();
        benchmark::DoNotOptimize(writer.mText.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(written));
}
BENCHMARK(PugiXMLWrite)->Unit(benchmark::kMillisecond);
#endif
} // namespace
