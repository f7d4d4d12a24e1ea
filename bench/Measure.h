#pragma once

#include <QFile>
#include <QString>

#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace quorlin::bench {

inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// The smallest value that `fraction` of the values do not exceed (nearest rank).
inline double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto rank =
        static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

// A figure in kB of /proc/self/status, such as "VmHWM:".
inline long statusKb(const QByteArray& field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').constFirst().toLong();
    return -1;
}

// Peak resident set in kB, as the kernel counted it.
inline long peakRssKb()
{
    return statusKb("VmHWM:");
}

inline long rssKb()
{
    return statusKb("VmRSS:");
}

// Bytes handed out by malloc and not yet freed, over all arenas. Unlike the resident set it
// does not keep what was freed, nor round up to pages, so it shows what a structure holds.
inline double heapBytes()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

// One figure per line, "name value", for run.sh to gather.
inline void report(const char* name, double value)
{
    std::printf("%s %.6g\n", name, value);
    std::fflush(stdout);
}

} // namespace quorlin::bench
