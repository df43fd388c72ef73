#include "job.h"

#include "console.h"
#include "printednames.h"
#include "charset/ansicodepage.h"
#include "phonefs/safefilename.h"
#include "phonefs/savedownload.h"

#include <QDir>
#include <QFileInfo>

namespace {

// As often as a person reads a changing number.
constexpr std::chrono::milliseconds ProgressInterval(200);

} // namespace

Job::Job(const Request &request, Console &console, QObject *parent)
    : QObject(parent)
    , m_request(request)
    , m_console(console)
    , m_prompts(console, request.quiet)
    , m_link(*this, m_prompts)
    , m_progressDisplay(ProgressInterval, [this](qint64) {
        if (m_copyRunning)
            m_console.showProgress(progressLine());
    })
{
    m_link.setReturnWait(std::chrono::seconds(m_request.waitSeconds));
    m_silence.setSingleShot(true);
    m_silence.setInterval(std::chrono::seconds(m_request.timeoutSeconds));
    connect(&m_silence, &QTimer::timeout, this, [this] {
        QString why = QStringLiteral("Телефон не ответил за %1 с.").arg(m_request.timeoutSeconds);
        if (!m_echoed)
            why += QStringLiteral(" Эхо команд у него выключено, а без эха ответ не распознать; "
                                  "включит эхо команда ATE1 (morvex-cli at ATE1).");
        fail(why);
    });
    connect(&m_search, &PhoneSearch::finished, this, &Job::searchEnded);
}

void Job::start()
{
    using Command = Request::Command;
    if (m_request.command == Command::Get && !chooseTarget())
        return;
    if (m_request.command == Command::GetAll && !QFileInfo(m_request.folder).isDir())
        return fail(QStringLiteral("Нет папки «%1».").arg(m_request.folder));
    if (m_request.command != Command::Find && m_request.port.trimmed() != AutoPort)
        return begin(m_request.port, {});
    if (const MaybeFailure failure = m_search.start(SearchCandidates(), m_request.speed))
        return fail(failure->message());
    m_stage = Stage::Searching;
}

void Job::searchEnded(const SearchResult &result)
{
    if (m_stage != Stage::Searching)
        return;
    if (!result.found())
        return fail(result.notFound);
    if (m_request.command == Request::Command::Find)
        return finish(m_console.data(result.port.toUtf8()) ? Done : Failed);
    begin(result.port, result.listingReply);
}

void Job::begin(const QString &port, const QByteArray &listingReply)
{
    if (m_request.command == Request::Command::At) {
        MaybeFailure failure = m_link.openPort(port, m_request.speed);
        if (!failure)
            failure = m_link.sendCommandLine(m_request.atCommand);
        if (failure)
            return fail(failure->message());
        m_stage = Stage::Answering;
        m_silence.start();
        return;
    }
    // Set first: the listing a search brought is handled before connectFound returns.
    m_stage = Stage::Listing;
    const MaybeFailure failure = listingReply.isEmpty()
                                     ? m_link.connectPort(port, m_request.speed)
                                     : m_link.connectFound(port, m_request.speed, listingReply);
    if (failure)
        return fail(failure->message());
    if (m_stage != Stage::Over)
        m_silence.start();
}

bool Job::chooseTarget()
{
    // The same cleaning as every saved name gets, so the phone cannot name a path.
    const QString name = SafeFileName(m_request.name);
    const QString &output = m_request.output;
    m_target = output.isEmpty() ? name : QFileInfo(output).isDir() ? QDir(output).filePath(name) : output;
    const QFileInfo target(m_target);
    // Not even --force makes a folder into a file; found out after the copy, it
    // would cost the whole read.
    if (target.isDir())
        fail(QStringLiteral("На месте файла «%1» папка; туда не сохранить.").arg(m_target));
    else if ((target.exists() || target.isSymLink()) && !m_request.force)
        fail(QStringLiteral("Файл «%1» уже есть; --force заменит его.").arg(m_target));
    else if (!target.absoluteDir().exists())
        fail(QStringLiteral("Нет папки для «%1».").arg(m_target));
    else if (m_target.size() >= PathBufferSize)
        fail(QStringLiteral("Путь длиннее %1 знаков: %2").arg(PathBufferSize - 1).arg(m_target));
    return m_stage != Stage::Over;
}

void Job::stop()
{
    if (m_stage == Stage::Over)
        return;
    const bool copying = m_stage == Stage::Copying;
    m_search.stop();
    finish(Interrupted);
    if (!copying) {
        m_console.say(QStringLiteral("Прервано."));
        return;
    }
    // A run of copies says how far it got; a single file was not saved, which the
    // link says itself of a copy that waited for the phone.
    const bool waiting = m_link.isWaitingForPhone();
    m_link.cancelDownload();
    if (m_request.command == Request::Command::Get && !waiting)
        m_console.say(QStringLiteral("Копирование прервано, файл не сохранён."));
}

void Job::close()
{
    m_search.stop();
    m_link.closePort();
    m_console.clearProgress();
    if (m_status != Done)
        m_prompts.showHeldNotes();
}

void Job::finish(Status status)
{
    if (m_stage == Stage::Over)
        return;
    m_stage = Stage::Over;
    m_status = status;
    m_silence.stop();
    emit finished(status);
}

void Job::fail(const QString &why)
{
    m_console.say(why);
    finish(Failed);
}

void Job::listed()
{
    switch (m_request.command) {
    case Request::Command::List:
        for (const CopyAll::Entry &entry : std::as_const(m_entries)) {
            if (!m_console.data(PrintedName(entry.readableName).toUtf8()))
                return finish(Failed);
        }
        return finish(Done);
    case Request::Command::Get:
        for (const CopyAll::Entry &entry : std::as_const(m_entries)) {
            if (entry.readableName != m_request.name)
                continue;
            m_stage = Stage::Copying;
            m_prompts.setSavePath(m_target);
            if (const MaybeFailure failure = m_link.startDownload(entry.rawName, entry.readableName))
                fail(failure->message());
            return;
        }
        return fail(QStringLiteral("На телефоне нет приложения «%1».").arg(PrintedName(m_request.name)));
    case Request::Command::GetAll:
        // Set first: a run with nothing to copy is over before copyAll returns.
        m_stage = Stage::Copying;
        if (const MaybeFailure failure = m_link.copyAll(m_request.folder, m_entries))
            fail(failure->message());
        return;
    case Request::Command::Ports:
    case Request::Command::Find:
    case Request::Command::At:
        return;
    }
}

bool Job::printAnswer(const QByteArray &reply)
{
    QByteArray answer = reply;
    // The echo is the command as written, ended by its carriage return.
    const QByteArray echo = AnsiCodePage::fromText(m_request.atCommand + QLatin1Char('\r'));
    if (answer.startsWith(echo))
        answer.remove(0, echo.size());
    answer.replace("\r\n", "\n");
    answer.replace('\r', '\n');
    for (const QByteArray &line : answer.split('\n')) {
        if (!line.isEmpty() && !m_console.data(line))
            return false;
    }
    return true;
}

QString Job::progressLine() const
{
    const QString &file = m_fileTitle.isEmpty() ? m_request.name : m_fileTitle;
    return QStringLiteral("%1: %2").arg(PrintedName(file), m_copyStage.isEmpty() ? m_progress.text() : m_copyStage);
}

void Job::clearEntries()
{
    m_entries.clear();
}

void Job::addEntry(const QByteArray &rawName, const QString &readableName)
{
    m_entries.append({rawName, readableName});
}

void Job::setDownloadRunning(bool running)
{
    if (running == m_copyRunning)
        return;
    m_copyRunning = running;
    if (running) {
        m_progress.restart();
        m_copyStage.clear();
        m_progressDisplay.showNow(0);
    } else {
        m_console.clearProgress();
    }
}

void Job::showDownloadProgress(qint64 bytesReceived)
{
    m_progress.update(bytesReceived);
    m_progressDisplay.setValue(bytesReceived);
}

void Job::showDownloadFile(const QString &title)
{
    // Each file of a run counts from nothing; an empty title ends the run.
    m_fileTitle = title;
    m_progress.restart();
    m_copyStage.clear();
    if (!title.isEmpty())
        m_progressDisplay.showNow(0);
}

void Job::showCopyStage(const QString &stage)
{
    m_copyStage = stage;
    m_progressDisplay.showNow(0);
}

void Job::reportCheck(const QString &readableName, const ArchiveCheck &check)
{
    switch (check.verdict) {
    case ArchiveCheck::Verdict::Damaged:
        m_damaged = true;
        // A run's summary names it among the rest.
        if (m_request.command == Request::Command::Get)
            m_console.say(QStringLiteral("Файл «%1» повреждён на телефоне: %2 не совпадает с контрольной суммой; "
                                         "сохраняется как есть.")
                              .arg(PrintedName(readableName), check.failedEntry));
        break;
    case ArchiveCheck::Verdict::NotChecked:
        m_console.say(QStringLiteral("%1: не проверен (%2)").arg(PrintedName(readableName), check.failedEntry));
        break;
    case ArchiveCheck::Verdict::NotArchive:
    case ArchiveCheck::Verdict::Sound:
        break;
    }
}

void Job::noteCopy(const QString &line)
{
    m_console.say(line);
}

void Job::waitForPhone(bool waiting)
{
    // The phone cannot answer while the cable is out; --wait bounds that time.
    if (waiting)
        m_silence.stop();
    else if (m_stage == Stage::Copying)
        m_silence.start();
}

void Job::appendTraffic(const QByteArray &)
{
    // A phone still sending is alive, however long its answer takes.
    if (m_silence.isActive())
        m_silence.start();
}

void Job::setLamp(bool linkUp)
{
    // The link went down; the core says why. A copy may wait for the phone, and
    // says when it ends.
    if (!linkUp && m_stage != Stage::Copying)
        finish(Failed);
}

void Job::replyCompleted(const QByteArray &reply, bool rejected)
{
    m_echoed = reply.startsWith("AT");
    if (m_stage == Stage::Listing) {
        // A refused listing: the core has said so.
        if (rejected)
            return finish(Failed);
        return listed();
    }
    if (m_stage == Stage::Answering) {
        finish(printAnswer(reply) && !rejected ? Done : Failed);
    }
}

void Job::copyEnded(bool saved)
{
    if (m_stage != Stage::Copying)
        return;
    if (!saved)
        return finish(Failed);
    finish(m_damaged ? SavedDamaged : Done);
}
