#pragma once

#include <string>
#include <vector>

namespace Halvo::Nes {

// What a format reader says while it reads an image. Said outside a search of the ROM image manager,
// it goes to the console at once. During a search the manager keeps each attempt's words and shows
// only those that explain the outcome: a file that one format reads leaves no complaint of another
// format behind, and a file that none reads is explained by the format it belongs to.
struct LoadReport {
    enum class Kind {
        Error,       // the file carries the format's signature, and something inside it is wrong
        ForeignFile, // the file does not carry the format's signature
        Note,        // a plain console line; the load goes on
    };

    Kind kind;
    std::string operation;
    int line;
    std::string message;

    // To the console: an error report, or a plain line for a note.
    void Show() const;
};

void ReportLoadError(const char* operation, int line, const std::string& message);
void ReportForeignFile(const char* operation, int line, const std::string& message);
void ReportLoadNote(const std::string& message);

// While one exists, the reports above are kept in it instead of shown (the innermost one keeps them).
class LoadReportCollector {
public:
    LoadReportCollector();
    ~LoadReportCollector();
    LoadReportCollector(const LoadReportCollector&) = delete;
    LoadReportCollector& operator=(const LoadReportCollector&) = delete;

    // The reports kept since the last Take, oldest first.
    std::vector<LoadReport> Take();

private:
    friend void Keep(LoadReport report);

    std::vector<LoadReport> reports;
    LoadReportCollector* outer;
};

} // namespace Halvo::Nes
