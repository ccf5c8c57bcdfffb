#pragma once
// What the benchmark programs share: how a program that cannot measure ends, a reporter that keeps
// each benchmark's time, and the lines of the performance record. Each record line reads "record|what|measured|goal|met or not";
// scripts/perf.sh gathers them into one table.
#include "ui/Seams.h"

#include <QtGlobal>
#include <benchmark/benchmark.h>
#include <sqlcipher/sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

// Ends a benchmark program that cannot measure what it should, saying why on standard error.
[[noreturn]] inline void fail(const char *what, const std::string &why)
{
    std::fprintf(stderr, "%s: %s: %s\n", program_invocation_short_name, what, why.c_str());
    std::exit(1);
}

// A message box ends the run: a benchmark that meets one measures the wrong thing.
inline void RefuseMessageBoxes()
{
    ui::SetMessageBoxHandler([](const ui::MessageBoxRequest &r) -> ui::Answer { fail("message box", r.prompt.toStdString()); });
}

// Windows are drawn offscreen unless the environment names a platform.
inline void DrawOffscreen()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// Reports as the console does and keeps each benchmark's real time per iteration (the median
// when the runs are repeated).
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal, so that a saved output reads plainly.
    CollectingReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &r : runs)
            if (r.run_type == Run::RT_Iteration && !r.error_occurred) {
                m_times[r.run_name.function_name].push_back(r.GetAdjustedRealTime());
                m_units[r.run_name.function_name] = benchmark::GetTimeUnitString(r.time_unit);
            }
        ConsoleReporter::ReportRuns(runs);
    }
    // Median real time of a benchmark, or a negative number when it did not run.
    double Time(const std::string &name) const
    {
        const auto it = m_times.find(name);
        if (it == m_times.end() || it->second.empty())
            return -1;
        std::vector<double> t = it->second;
        std::sort(t.begin(), t.end());
        return t[t.size() / 2];
    }

    // The same in milliseconds, whatever unit the benchmark reports in.
    double Milliseconds(const std::string &name) const
    {
        const double t = Time(name);
        const auto it = m_units.find(name);
        const std::string unit = it == m_units.end() ? std::string("ms") : it->second;
        return t < 0 ? t : t * (unit == "s" ? 1e3 : unit == "us" ? 1e-3 : unit == "ns" ? 1e-6 : 1.0);
    }

private:
    std::map<std::string, std::vector<double>> m_times;
    std::map<std::string, std::string> m_units;
};

// One line of the record.
inline void printRecord(const std::string &what, const std::string &measured, const std::string &goal, bool met)
{
    std::printf("record|%s|%s|%s|%s\n", what.c_str(), measured.c_str(), goal.c_str(), met ? "met" : "NOT met");
    std::fflush(stdout);
}

// A number or three in printf's form.
inline std::string formatted(const char *format, double a, double b = 0, double c = 0)
{
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

// The ratio of two benchmarks' times, held to goal: at most that many times the base.
inline void printRatio(const CollectingReporter &r, const char *label, const char *ours, const char *base, double goal)
{
    const double a = r.Milliseconds(ours), b = r.Milliseconds(base);
    if (a < 0 || b <= 0) {
        printRecord(label, "n/a (run both " + std::string(ours) + " and " + base + ")", formatted("<= %g", goal), false);
        return;
    }
    const auto shown = [](double ms) { return ms < 0.1 ? formatted("%.3g us", ms * 1e3) : formatted("%.4g ms", ms); };
    printRecord(label, formatted("%.2f (", a / b) + shown(a) + " vs " + shown(b) + ")", formatted("<= %g", goal),
                a / b <= goal);
}

// One benchmark's time in milliseconds, held to a goal below which it must stay.
inline void printTime(const CollectingReporter &r, const char *label, const char *name, double goalMs)
{
    const double t = r.Milliseconds(name);
    if (t < 0) {
        printRecord(label, "n/a", formatted("< %g ms", goalMs), false);
        return;
    }
    printRecord(label, formatted("%.1f ms", t), formatted("< %g ms", goalMs), t < goalMs);
}

// The baseline every ratio is measured against: the rows of a statement stepped on a raw
// SQLCipher handle, every column read as the C API hands it out. Marks the run as failed when a
// pass does not give the expected number of rows.
inline void ReadRowsRaw(benchmark::State &state, sqlite3 *db, const char *sql, int expected)
{
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
        state.SkipWithError(sqlite3_errmsg(db));
        return;
    }
    const int cols = sqlite3_column_count(stmt);
    std::string text;
    std::int64_t rows = 0;
    for (auto _ : state) {
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            for (int c = 0; c < cols; ++c) {
                switch (sqlite3_column_type(stmt, c)) {
                case SQLITE_INTEGER: benchmark::DoNotOptimize(sqlite3_column_int64(stmt, c)); break;
                case SQLITE_FLOAT: benchmark::DoNotOptimize(sqlite3_column_double(stmt, c)); break;
                case SQLITE_NULL: break;
                default:
                    text.assign(reinterpret_cast<const char *>(sqlite3_column_text(stmt, c)),
                                size_t(sqlite3_column_bytes(stmt, c)));
                    benchmark::DoNotOptimize(text);
                }
            }
            ++rows;
        }
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    if (rows != std::int64_t(state.iterations()) * expected)
        state.SkipWithError("unexpected row count");
    state.SetItemsProcessed(rows);
}

// The body of a benchmark program: runs the benchmarks the command line asks for once prepare has
// laid out what they need, then record prints the record lines from their times. Answers the
// program's exit code; the caller tears down what prepare made.
inline int RunBenchmarks(int argc, char **argv, const std::function<void()> &prepare,
                         const std::function<void(const CollectingReporter &)> &record)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    prepare();
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::fflush(stdout);
    record(reporter);
    benchmark::Shutdown();
    return 0;
}
