#pragma once
// The error that the picture layer raises (bad file, missing file, failed write). It ends
// the operation and reaches the event handler, whose error report shows its text.
#include <QString>
#include <stdexcept>

class LetrafexError : public std::runtime_error
{
public:
    explicit LetrafexError(const QString &text) : std::runtime_error(text.toStdString()), text_(text) {}
    const QString &text() const { return text_; }

private:
    QString text_;
};
