#include "nes/rom/LoadReport.h"

#include <utility>

#include "console/System.h"

namespace Halvo::Nes {

namespace {

LoadReportCollector* collector = nullptr;

} // namespace

void Keep(LoadReport report) {
    if (collector) {
        collector->reports.push_back(std::move(report));
    } else {
        report.Show();
    }
}

void LoadReport::Show() const {
    if (kind == Kind::Note) {
        Console::System::Instance()->Output() << message << std::endl;
    } else {
        Console::ReportError(operation, line) << message << std::endl;
    }
}

void ReportLoadError(const char* operation, int line, const std::string& message) {
    Keep({LoadReport::Kind::Error, operation, line, message});
}

void ReportForeignFile(const char* operation, int line, const std::string& message) {
    Keep({LoadReport::Kind::ForeignFile, operation, line, message});
}

void ReportLoadNote(const std::string& message) {
    Keep({LoadReport::Kind::Note, "", 0, message});
}

LoadReportCollector::LoadReportCollector() : outer(collector) {
    collector = this;
}

LoadReportCollector::~LoadReportCollector() {
    collector = outer;
}

std::vector<LoadReport> LoadReportCollector::Take() {
    return std::exchange(reports, {});
}

} // namespace Halvo::Nes
