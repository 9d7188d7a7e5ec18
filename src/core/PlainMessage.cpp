#include "core/PlainMessage.h"

#include <cstdio>
#include <utility>

namespace {
PlainMessageHandler &currentHandler()
{
    static PlainMessageHandler handler;
    return handler;
}
} // namespace

void ShowPlainMessage(const QString &text)
{
    if (const PlainMessageHandler &handler = currentHandler()) {
        handler(text);
        return;
    }
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

PlainMessageHandler setPlainMessageHandler(PlainMessageHandler handler)
{
    return std::exchange(currentHandler(), std::move(handler));
}
