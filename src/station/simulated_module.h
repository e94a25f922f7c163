#pragma once
// The built-in simulated module behind --simulate: a pseudo-terminal whose
// far end answers read commands with a varying flow, so that the program
// runs its real serial path with no hardware at all.

#include <QString>

#include <memory>

namespace tavelin::sim {
class ModuleSimulator;
}

namespace tavelin {

class SimulatedModule {
public:
    // Nullptr with *error set when no pseudo-terminal can be had.
    static std::unique_ptr<SimulatedModule> start(QString* error);
    ~SimulatedModule();

    QString devicePath() const;

private:
    explicit SimulatedModule(std::unique_ptr<sim::ModuleSimulator> module);
    std::unique_ptr<sim::ModuleSimulator> module_;
};

} // namespace tavelin
