#include "toolkit/crc32.h"
#include "toolkit/xmlelement.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

// Downloaded levels and service replies reach the reader as they come: whatever the bytes,
// reading answers with a result inside the text or a negative position, and every tree it
// leaves behind can be copied, written, checksummed and validated.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string source(reinterpret_cast<const char*>(data), size);
    brix::XMLElement root("");
    int result = root.parse(source);
    if (result > static_cast<int>(size))
        std::abort();
    if (result < 0 && -result > static_cast<int>(size) + 1)
        std::abort();

    const std::string text = root.toString();
    brix::XMLElement copy(&root);
    if (copy.toString() != text)
        std::abort();
    brix::CRC32 checksum;
    root.calculateChecksum(checksum);
    root.validate(&copy);
    root.findChild("/a/b/", false);

    // The written text is read again; a comment cut off by the end of the source may swallow
    // what follows it then, so only the reading itself is checked.
    brix::XMLElement reread("");
    reread.parse(text);
    return 0;
}
