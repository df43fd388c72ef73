#include "phonesimulator.h"
#include "testfiles.h"

QByteArray PhoneSimulator::received() const
{
    return readFile(logPath());
}

std::unique_ptr<PhoneSimulator> ServeFiles(const QTemporaryDir &folder, const QMap<QString, QByteArray> &files,
                                           const QStringList &options)
{
    for (auto file = files.begin(); file != files.end(); ++file) {
        if (!writeFile(folder.filePath(file.key()), file.value()))
            return nullptr;
    }
    auto phone = std::make_unique<PhoneSimulator>(folder.path(), options);
    return phone->devicePath().isEmpty() ? nullptr : std::move(phone);
}
