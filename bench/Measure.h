#pragma once

#include <QFile>
#include <QString>

#include <algorithm>
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

// Peak resident set in kB, as the kernel counted it.
inline long peakRssKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').constFirst().toLong();
    return -1;
}

// One figure per line, "name value", for run.sh to gather.
inline void report(const char* name, double value)
{
    std::printf("%s %.6g\n", name, value);
    std::fflush(stdout);
}

} // namespace quorlin::bench
