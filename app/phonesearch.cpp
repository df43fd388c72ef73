#include "phonesearch.h"

#include "linesettings.h"
#include "msc.h"
#include "phonefs/listing.h"

#include <algorithm>

namespace {

// Opening a port at this speed and closing it again sends some boards into their
// boot loader.
constexpr qint32 BootLoaderSpeed = 1200;
// The longest line a device may send while it is greeted, and the longest listing:
// beyond them it is no phone, and memory stays bounded.
constexpr qsizetype LongestLine = 4096;
constexpr qsizetype LongestListing = 1 << 20;
constexpr QByteArrayView ResultFraming = "\r\n";

struct ResultCode
{
    bool ok = false;
    // Past the code and as much of its line end as came.
    qsizetype end = 0;
    // The rest of its line end, still to come.
    QByteArray owedFraming;
};

// The first final result code on a line of its own, "OK", "ERROR" or "+CME ERROR: n"
// ("+CMS" too), looking from the start of line `from` on; a piece may end right after
// the code. `from` moves past the complete lines looked at.
std::optional<ResultCode> findResultCode(QByteArrayView heard, qsizetype &from)
{
    while (from < heard.size()) {
        qsizetype end = from;
        while (end < heard.size() && heard[end] != '\r' && heard[end] != '\n')
            ++end;
        const QByteArrayView line = heard.sliced(from, end - from);
        const bool ok = line == "OK";
        if (ok || line == "ERROR" || line.startsWith("+CME ERROR") || line.startsWith("+CMS ERROR")) {
            const QByteArrayView after = heard.sliced(end).first(qMin(heard.size() - end, ResultFraming.size()));
            qsizetype framed = 0;
            while (framed < after.size() && after[framed] == ResultFraming[framed])
                ++framed;
            return ResultCode{ok, end + framed, ResultFraming.sliced(framed).toByteArray()};
        }
        if (end == heard.size())
            return std::nullopt;
        from = end + 1;
    }
    return std::nullopt;
}

// The cause in a few words, for a line of its own in the not-found message.
QString openReason(const Failure &failure, const QString &device)
{
    switch (failure.code) {
    case FailureCode::DeviceNotFound:
        return QStringLiteral("нет такого устройства");
    case FailureCode::PermissionDenied:
        return QStringLiteral("нет прав на чтение и запись");
    case FailureCode::DeviceBusy:
        return QStringLiteral("занят другой программой");
    default:
        break;
    }
    // The system's words, without the device in front or advice after them.
    QString words = failure.description;
    if (words.startsWith(device + QStringLiteral(": ")))
        words.remove(0, device.size() + 2);
    return words.section(QStringLiteral(". "), 0, 0);
}

} // namespace

// One device tried: greeted with "AT", then asked for the listing.
class PhoneSearch::Probe
{
public:
    enum class Outcome { Running, Phone, NotAPhone, Silent, NotOpened };

    Probe(PhoneSearch &search, SearchCandidate candidate)
        : candidate(std::move(candidate))
        , m_search(search)
    {
        m_deadline.setSingleShot(true);
        m_deadline.setTimerType(Qt::PreciseTimer);
        m_deadline.setInterval(Deadline);
        QObject::connect(&m_deadline, &QTimer::timeout, &m_port, [this] { end(stageOutcome()); });
        QObject::connect(&m_port, &MSC::onComm, &m_port, [this] { onComm(); });
        m_port.setRThreshold(1);
    }

    void start(const QString &settings)
    {
        m_deadline.start();
        MaybeFailure failure = m_port.setCommDevice(candidate.device);
        if (!failure)
            failure = m_port.setSettings(settings);
        if (!failure)
            failure = m_port.setPortOpen(true);
        if (!failure)
            failure = m_port.setHandshaking(SerialControl::RtsCtsXonXoff);
        if (failure) {
            reason = openReason(*failure, candidate.device);
            return end(Outcome::NotOpened);
        }
        // Many devices answer only with DTR up; a line without modem lines has none.
        (void)m_port.setDTREnable(true);
        if (m_port.writeCommandLine(QStringLiteral("AT")).has_value())
            end(Outcome::Silent);
    }

    // Nothing more is heard, and the port is closed.
    void stop()
    {
        m_deadline.stop();
        (void)m_port.setPortOpen(false);
    }

    const SearchCandidate candidate;
    Outcome outcome = Outcome::Running;
    QString reason;
    QByteArray listingReply;

private:
    Outcome stageOutcome() const { return m_listing ? Outcome::NotAPhone : Outcome::Silent; }

    void onComm()
    {
        if (outcome != Outcome::Running)
            return;
        if (m_port.commEvent() == SerialControl::ReceiveEvent)
            take(m_port.input());
        else if (m_port.commEvent() == SerialControl::DeviceLostEvent)
            end(stageOutcome());
    }

    void take(const QByteArray &piece)
    {
        // The line end of the OK to "AT" is no part of the listing's reply.
        qsizetype owed = 0;
        while (owed < m_owedFraming.size() && owed < piece.size() && piece[owed] == m_owedFraming[owed])
            ++owed;
        m_owedFraming = owed == piece.size() ? m_owedFraming.mid(owed) : QByteArray();
        m_heard += piece.mid(owed);

        const std::optional<ResultCode> code = findResultCode(m_heard, m_scanned);
        if (!code) {
            if (m_listing && m_heard.size() > LongestListing) {
                end(Outcome::NotAPhone);
            } else if (!m_listing) {
                // Only the line being heard can still hold the OK.
                m_heard.remove(0, m_scanned);
                m_scanned = 0;
                if (m_heard.size() > LongestLine)
                    m_heard.clear();
            }
            return;
        }
        if (!code->ok)
            return end(Outcome::NotAPhone);
        if (m_listing) {
            listingReply = m_heard.first(code->end);
            return end(Outcome::Phone);
        }
        m_listing = true;
        m_owedFraming = code->owedFraming;
        m_heard.clear();
        m_scanned = 0;
        if (m_port.writeCommandLine(ListingCommand(ApplicationFolder)).has_value())
            end(Outcome::NotAPhone);
    }

    void end(Outcome reached)
    {
        outcome = reached;
        stop();
        m_search.probeEnded(*this);
    }

    PhoneSearch &m_search;
    MSC m_port;
    QTimer m_deadline;
    // Past "AT": the listing was asked for.
    bool m_listing = false;
    QByteArray m_heard;
    // Where the line not yet complete starts.
    qsizetype m_scanned = 0;
    QByteArray m_owedFraming;
};

PhoneSearch::PhoneSearch(QObject *parent)
    : QObject(parent)
{
    connect(&m_launcher, &QTimer::timeout, this, &PhoneSearch::launchNext);
    m_reporter.setSingleShot(true);
    connect(&m_reporter, &QTimer::timeout, this, [this] {
        m_running = false;
        emit finished(m_result);
    });
}

PhoneSearch::~PhoneSearch() = default;

MaybeFailure PhoneSearch::start(const QList<SearchCandidate> &candidates, const QString &speedText)
{
    stop();
    const QString settings = PhoneLineSettings(speedText);
    const std::optional<LineSettings> line = ParseLineSettings(settings);
    if (!line)
        return Failure{FailureCode::InvalidSettings, QStringLiteral("Invalid settings \"%1\"").arg(settings)};
    if (line->speed == BootLoaderSpeed)
        return Failure{FailureCode::InvalidSettings,
                       QStringLiteral("Поиск телефона не открывает порты на 1200 бит/с: на этой скорости "
                                      "некоторые платы уходят в загрузчик. Выберите другую скорость.")};
    m_probes.clear();
    for (const SearchCandidate &candidate : candidates)
        m_probes.push_back(std::make_unique<Probe>(*this, candidate));
    m_launched = 0;
    m_settings = settings;
    m_result = {};
    m_running = true;
    if (m_probes.empty()) {
        m_result.notFound = QStringLiteral("Телефон не найден: нет ни одного последовательного порта.");
        m_reporter.start();
    } else {
        m_launcher.start(0);
    }
    return std::nullopt;
}

void PhoneSearch::stop()
{
    m_running = false;
    m_launcher.stop();
    m_reporter.stop();
    for (const std::unique_ptr<Probe> &probe : m_probes)
        probe->stop();
}

void PhoneSearch::launchNext()
{
    if (m_launched == m_probes.size())
        return m_launcher.stop();
    m_probes[m_launched++]->start(m_settings);
}

void PhoneSearch::probeEnded(const Probe &probe)
{
    if (!m_running || m_reporter.isActive())
        return;
    if (probe.outcome == Probe::Outcome::Phone) {
        m_result.port = probe.candidate.name;
        m_result.listingReply = probe.listingReply;
        return conclude();
    }
    const bool allEnded = std::all_of(m_probes.begin(), m_probes.end(), [](const std::unique_ptr<Probe> &each) {
        return each->outcome != Probe::Outcome::Running;
    });
    if (!allEnded)
        return;
    QString text = QStringLiteral("Телефон не найден.");
    for (const std::unique_ptr<Probe> &each : m_probes) {
        const QString &port = each->candidate.name;
        switch (each->outcome) {
        case Probe::Outcome::NotOpened:
            text += QStringLiteral("\n%1: не открывается (%2)").arg(port, each->reason);
            break;
        case Probe::Outcome::NotAPhone:
            text += QStringLiteral("\n%1: отвечает, но это не телефон").arg(port);
            break;
        default:
            text += QStringLiteral("\n%1: не отвечает").arg(port);
            break;
        }
    }
    m_result.notFound = text;
    conclude();
}

void PhoneSearch::conclude()
{
    m_launcher.stop();
    for (const std::unique_ptr<Probe> &probe : m_probes)
        probe->stop();
    m_reporter.start(0);
}
