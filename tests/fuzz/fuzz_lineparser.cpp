// libFuzzer entry: bytes from a gauge through the line splitter and the parser, in one of its
// formats (see LineFuzzCase). A reading that is not finite, beyond the parser's limits or unlike
// its own texts is a finding.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <QByteArray>

#include "linefuzzcase.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), static_cast<int>(size));
    const QString problem = LineFuzzCase(input).run();
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "%s\n", problem.toUtf8().constData());
        std::abort();
    }
    return 0;
}
