#include "station/simulated_module.h"

#include "simulator/module_simulator.h"

#include <QDateTime>

#include <system_error>

namespace tavelin {

std::unique_ptr<SimulatedModule> SimulatedModule::start(QString* error)
{
    try {
        const auto seed = static_cast<std::uint32_t>(QDateTime::currentMSecsSinceEpoch());
        auto module = std::make_unique<sim::ModuleSimulator>(sim::varyingFlow(seed));
        return std::unique_ptr<SimulatedModule>(new SimulatedModule(std::move(module)));
    } catch (const std::system_error& e) {
        if (error)
            *error = QString::fromLocal8Bit(e.what());
        return nullptr;
    }
}

SimulatedModule::SimulatedModule(std::unique_ptr<sim::ModuleSimulator> module) : module_(std::move(module)) {}

SimulatedModule::~SimulatedModule() = default;

QString SimulatedModule::devicePath() const
{
    return QString::fromStdString(module_->devicePath());
}

} // namespace tavelin
