#pragma once

// The toolkit's error classes. Handlers raise them; the guard around every event hands
// them to the application, which shows the error box. Each carries its class name
// (shown by the start-up failure box) and its message.

#include <QString>

#include <cstdint>
#include <exception>
#include <string>

namespace lanfan {

class Exception : public std::exception {
public:
    explicit Exception(QString message) : message_(std::move(message)), utf8_(message_.toStdString()) {}
    virtual QString className() const { return QStringLiteral("Exception"); }
    const QString& message() const { return message_; }
    const char* what() const noexcept override { return utf8_.c_str(); }

private:
    QString message_;
    std::string utf8_;
};

#define LANFAN_EXCEPTION_CLASS(Name, Base)                                     \
    class Name : public Base {                                                 \
    public:                                                                    \
        using Base::Base;                                                      \
        QString className() const override { return QStringLiteral(#Name); }   \
    }

LANFAN_EXCEPTION_CLASS(EInvalidOperation, Exception);
LANFAN_EXCEPTION_CLASS(EOutOfResources, Exception);
LANFAN_EXCEPTION_CLASS(EStreamError, Exception);
LANFAN_EXCEPTION_CLASS(EFCreateError, EStreamError);
LANFAN_EXCEPTION_CLASS(EWriteError, EStreamError);
LANFAN_EXCEPTION_CLASS(EOleError, Exception);
LANFAN_EXCEPTION_CLASS(EOleException, EOleError);

#undef LANFAN_EXCEPTION_CLASS

// An OLE error that carries the status code it came from.
class EOleSysError : public EOleError {
public:
    EOleSysError(QString message, int32_t errorCode) : EOleError(std::move(message)), errorCode_(errorCode) {}
    QString className() const override { return QStringLiteral("EOleSysError"); }
    int32_t errorCode() const { return errorCode_; }

private:
    int32_t errorCode_;
};

// Texts of the errors the toolkit raises itself.
namespace messages {
inline const QString scrollBarOutOfRange = QStringLiteral("Scrollbar property out of range");
inline const QString cannotFocus = QStringLiteral("Cannot focus a disabled or invisible window");
inline const QString cannotMakeVisibleModal = QStringLiteral("Cannot make a visible window modal");
inline const QString noTimers = QStringLiteral("Not enough timers available");
inline const QString outOfResources = QStringLiteral("Out of system resources");
inline const QString streamWriteError = QStringLiteral("Stream write error");
inline const QString oleActivationFailed = QStringLiteral("OLE control activation failed");
inline const QString interfaceNotSupported = QStringLiteral("Interface not supported");
} // namespace messages

} // namespace lanfan
