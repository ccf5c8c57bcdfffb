#pragma once
// What the benchmark programs share: a reporter that keeps each benchmark's time, and the
// ratios against the raw engine that the goals are set in.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

// Reports as the console does and keeps each benchmark's real time per iteration (the median
// when the runs are repeated).
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &r : runs)
            if (r.run_type == Run::RT_Iteration && !r.error_occurred)
                m_times[r.run_name.function_name].push_back(r.GetAdjustedRealTime());
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

private:
    std::map<std::string, std::vector<double>> m_times;
};

inline void printRatio(const CollectingReporter &r, const char *label, const char *ours, const char *base, double goal)
{
    const double a = r.Time(ours), b = r.Time(base);
    if (a < 0 || b <= 0) {
        std::printf("ratio %s = n/a (run both %s and %s)\n", label, ours, base);
        return;
    }
    const double ratio = a / b;
    std::printf("ratio %s = %.2f (goal <= %g)%s\n", label, ratio, goal, ratio <= goal ? "" : "  MISSED");
}

