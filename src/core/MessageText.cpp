#include "core/MessageText.h"

#include <utility>

namespace {
MessageTranslator &currentTranslator()
{
    static MessageTranslator translator;
    return translator;
}
} // namespace

QString messageText(const QString &english)
{
    if (const MessageTranslator &translate = currentTranslator())
        return translate(english);
    return english;
}

QString messageText(const char *english) { return messageText(QString::fromUtf8(english)); }

MessageTranslator setMessageTranslator(MessageTranslator translator)
{
    return std::exchange(currentTranslator(), std::move(translator));
}
