#pragma once

#include <cstdint>

#include "console/Function.h"
#include "ref/Object.h"

namespace Halvo::Gfx {

class Driver;

// What the graphics console functions need from the emulator shell: the platform's drivers, the
// graphics state and the quit request.
class GraphicsHost {
public:
    virtual std::uint32_t GetDriverCount() = 0;
    virtual Ref::Ptr<Driver> GetDriver(std::uint32_t index) = 0;
    virtual bool GraphicsApplyState() = 0;
    virtual void Quit(std::int32_t exitCode) = 0;

protected:
    ~GraphicsHost() = default;
};

// The graphics console functions. Their usage texts are empty.
class GraphicsFunction : public Console::Function {
public:
    GraphicsFunction(std::string name, GraphicsHost* host) : Function(std::move(name)), host(host) {}
    void PrintUsage(std::ostream&) override {}

protected:
    GraphicsHost* host;
};

// "g_enumdrivers": the drivers' names.
class EnumDrivers : public GraphicsFunction {
public:
    explicit EnumDrivers(GraphicsHost* host) : GraphicsFunction("g_enumdrivers", host) {}
    bool Execute(std::istream& arguments, std::ostream& out) override;
};

// "g_enumadapters <driver>": the adapters of a driver.
class EnumAdapters : public GraphicsFunction {
public:
    explicit EnumAdapters(GraphicsHost* host) : GraphicsFunction("g_enumadapters", host) {}
    bool Execute(std::istream& arguments, std::ostream& out) override;
};

// "g_enummodes <driver> <adapter>": the full-screen modes of an adapter.
class EnumModes : public GraphicsFunction {
public:
    explicit EnumModes(GraphicsHost* host) : GraphicsFunction("g_enummodes", host) {}
    bool Execute(std::istream& arguments, std::ostream& out) override;
};

// "g_enumformats": the names of the pixel formats, by number.
class EnumFormats : public GraphicsFunction {
public:
    EnumFormats() : GraphicsFunction("g_enumformats", nullptr) {}
    bool Execute(std::istream& arguments, std::ostream& out) override;
};

// "g_apply": applies the graphics state variables; the program ends when no state can be set.
class ApplyState : public GraphicsFunction {
public:
    explicit ApplyState(GraphicsHost* host) : GraphicsFunction("g_apply", host) {}
    bool Execute(std::istream& arguments, std::ostream& out) override;
};

} // namespace Halvo::Gfx
