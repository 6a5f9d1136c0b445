// Runs a fuzz target once over every file of its seed corpus, so the normal
// test run covers the targets even without libFuzzer.

#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

int main(int argc, char **argv)
{
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        const QDir dir(QString::fromLocal8Bit(argv[i]));
        for (const QString &name : dir.entryList(QDir::Files)) {
            QFile f(dir.filePath(name));
            if (!f.open(QIODevice::ReadOnly))
                return 1;
            const QByteArray bytes = f.readAll();
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                                   static_cast<std::size_t>(bytes.size()));
            ++files;
        }
    }
    std::printf("%d corpus files ran\n", files);
    return files > 0 ? 0 : 1;
}
