// How long a search for the phone takes with a device among the candidates that
// never answers: with the phone there, and without it, when every port has its
// full time. Either way it must be over within 4 s. The machine's own serial
// devices are candidates too, as they are for a user.
#include "measurement.h"
#include "app/phonesearch.h"
#include "support/searchedports.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTextStream>

#include <algorithm>

namespace {

constexpr int Rounds = 3;
constexpr double LongestSearch = 4.0;
const QString Target = QStringLiteral("a search with a silent device among the candidates ends within 4 s");

struct Timed
{
    double seconds = 0;
    bool found = false;
};

std::optional<Timed> timeSearch()
{
    PhoneSearch search;
    QEventLoop loop;
    Timed timed;
    QObject::connect(&search, &PhoneSearch::finished, &loop, [&](const SearchResult &result) {
        timed.found = result.found();
        loop.quit();
    });
    const Measurement measurement;
    if (search.start(SearchCandidates(), QStringLiteral("115200")))
        return std::nullopt;
    loop.exec();
    timed.seconds = measurement.wallSeconds();
    return timed;
}

// The median of the rounds, or nothing when a round did not come to what it should.
std::optional<double> medianSearch(bool phonePresent)
{
    QList<double> times;
    for (int round = 0; round < Rounds; ++round) {
        const std::optional<Timed> timed = timeSearch();
        if (!timed || timed->found != phonePresent)
            return std::nullopt;
        times.append(timed->seconds);
    }
    std::sort(times.begin(), times.end());
    return times[Rounds / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    SearchedPorts ports;
    ports.silent(3);
    const bool started = ports.simulator(4, {}, {QStringLiteral("--not-a-phone")});
    const std::optional<double> notFound = started ? medianSearch(false) : std::nullopt;
    const std::optional<double> found =
        notFound && ports.simulator(7, {{QStringLiteral("a.jar"), "a"}}) ? medianSearch(true) : std::nullopt;
    if (!found) {
        out << Measurement::targetLine(Target, false, QStringLiteral("a simulator did not start, or a search came to the "
                                                                     "wrong end"))
            << '\n';
        return 1;
    }
    QStringList candidates;
    for (const SearchCandidate &candidate : SearchCandidates())
        candidates.append(candidate.name);
    out << QStringLiteral("search for the phone among %1 (3 silent, 4 not a phone, 7 the phone): found in %2 s; "
                          "without 7, not found in %3 s (medians of %4)\n")
               .arg(candidates.join(QStringLiteral(", ")))
               .arg(*found, 0, 'f', 3)
               .arg(*notFound, 0, 'f', 3)
               .arg(Rounds)
        << Measurement::targetLine(Target, qMax(*found, *notFound) <= LongestSearch,
                                   QStringLiteral("found %1 s, not found %2 s").arg(*found, 0, 'f', 3).arg(*notFound, 0, 'f', 3))
        << '\n';
    return 0;
}
