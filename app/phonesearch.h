#pragma once

#include "failure.h"
#include "serialdevices.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <memory>
#include <vector>

// What a search for the phone came to.
struct SearchResult
{
    // The phone's port as the port field names it; empty when none was the phone.
    QString port;
    // The phone's reply to the listing request, from its echo through the OK.
    QByteArray listingReply;
    // Without a phone: the message, with a line for what each candidate did.
    QString notFound;

    bool found() const { return !port.isEmpty(); }
};

// Finds the phone among serial devices, all at once: opens each as Connect opens a
// port (and raises DTR), writes "AT", and after its OK the listing request. The
// first device whose listing ends in OK is the phone; every other probe is then
// stopped and its port closed, as is the phone's, for the link to open.
class PhoneSearch : public QObject
{
    Q_OBJECT

public:
    // Each device's time for both answers, from its opening. What it sends does not
    // extend it: unasked lines that keep coming cannot hold the search up.
    static constexpr std::chrono::milliseconds Deadline{3000};

    explicit PhoneSearch(QObject *parent = nullptr);
    ~PhoneSearch() override;

    // Starts on the candidates in their order at the speed; finished() follows in a
    // later event, also with no candidates. A speed the line cannot take is refused,
    // and so is 1200 bit/s.
    [[nodiscard]] MaybeFailure start(const QList<SearchCandidate> &candidates, const QString &speedText);
    // Closes every port it opened; finished() does not follow.
    void stop();
    bool isRunning() const { return m_running; }

signals:
    void finished(const SearchResult &result);

private:
    class Probe;

    void launchNext();
    void probeEnded(const Probe &probe);
    // Closes all ports now and reports in a later event, outside any probe's handling.
    void conclude();

    std::vector<std::unique_ptr<Probe>> m_probes;
    size_t m_launched = 0;
    QString m_settings;
    bool m_running = false;
    SearchResult m_result;
    // One probe starts per event: what the open ones hear is handled between
    // openings, before a slow one (a Bluetooth port) keeps the program waiting.
    QTimer m_launcher;
    QTimer m_reporter;
};
