// The host's exception classes. Every error the system raises carries its message text; the
// application shows that text in its error box.
#pragma once

#include <stdexcept>
#include <string>

namespace ferronel {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : FMessage(std::move(message)) {}
    const char* what() const noexcept override { return FMessage.c_str(); }
    const std::string& Message() const noexcept { return FMessage; }

private:
    std::string FMessage;
};

#define FERRONEL_EXCEPTION(Name, Base)                                                                       \
    class Name : public Base {                                                                               \
    public:                                                                                                  \
        using Base::Base;                                                                                    \
    }

FERRONEL_EXCEPTION(EInvalidGraphic, Exception);
FERRONEL_EXCEPTION(EInvalidGraphicOperation, Exception);
FERRONEL_EXCEPTION(EOutOfResources, Exception);
FERRONEL_EXCEPTION(EInOutError, Exception);
FERRONEL_EXCEPTION(EConvertError, Exception);
FERRONEL_EXCEPTION(EStreamError, Exception);
FERRONEL_EXCEPTION(EReadError, EStreamError);
FERRONEL_EXCEPTION(EWriteError, EStreamError);
FERRONEL_EXCEPTION(EFOpenError, EStreamError);
FERRONEL_EXCEPTION(EFCreateError, EStreamError);
// An operation the user called off: it ends silently, the application shows no error for it.
FERRONEL_EXCEPTION(EAbort, Exception);

} // namespace ferronel
