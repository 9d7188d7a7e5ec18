// libFuzzer target for the enhanced-metafile reader. The first record is made to look like
// an EMF header, so that the mutations spend their time on the checks and the records
// behind it.
#include "MetafileFuzz.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    startFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (bytes.size() >= 44) {
        std::memcpy(bytes.data(), "\x01\x00\x00\x00", 4);
        std::memcpy(bytes.data() + 40, " EMF", 4);
    }
    readMetafileChecked(bytes);
    return 0;
}
