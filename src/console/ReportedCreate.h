#pragma once

#include <exception>
#include <new>
#include <string>

#include "console/System.h"

namespace Halvo::Console {

// Runs a factory and turns what its constructors throw into an error report of the creating operation:
// a standard exception becomes `prefix` + its text and a null result, except that running out of memory
// is reported and then thrown on; anything else is reported as `unknownMessage` and thrown on.
template <class Make>
auto CreateOrReport(const char* operation, int line, const std::string& prefix,
                    const std::string& unknownMessage, Make&& make) -> decltype(make()) {
    try {
        return make();
    } catch (const std::bad_alloc& exception) {
        ReportError(operation, line) << prefix << exception.what() << std::endl;
        throw;
    } catch (const std::exception& exception) {
        ReportError(operation, line) << prefix << exception.what() << std::endl;
        return nullptr;
    } catch (...) {
        ReportError(operation, line) << unknownMessage << std::endl;
        throw;
    }
}

} // namespace Halvo::Console
