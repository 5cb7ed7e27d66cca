// Exceptions that the program reports. Every error carries its message text,
// which the application's central handler shows to the user.
#pragma once

#include <stdexcept>
#include <string>

namespace sw {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// A text that is not an integer.
class EConvertError : public Exception {
    using Exception::Exception;
};

// A file that can't be created or written.
class EFCreateError : public Exception {
    using Exception::Exception;
};

// A file that can't be opened or read.
class EFOpenError : public Exception {
    using Exception::Exception;
};

// A registry value that can't be read or set.
class ERegistryException : public Exception {
    using Exception::Exception;
};

// The system ran out of a limited resource (timers, windows, GDI objects).
class EOutOfResources : public Exception {
    using Exception::Exception;
};

// A DDE instance or conversation failed.
class EDdeError : public Exception {
    using Exception::Exception;
};

// A resource (bitmap, cursor) that the program's module does not hold.
class EResNotFound : public Exception {
    using Exception::Exception;
};

// An operation that the object's state does not allow.
class EInvalidOperation : public Exception {
    using Exception::Exception;
};

}  // namespace sw
