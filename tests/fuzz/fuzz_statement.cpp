// Every statement reader on any bytes: each either reads lines (with a valid date on every line
// without an error, and a finite amount) or refuses the file with a reason; none crashes, hangs
// or reads past what it was given. The bytes go through a file, as the readers take paths.
#include "import/Readers.h"

#include <QDir>
#include <QFile>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {

void check(const import::StatementLine &line)
{
    if (line.error.isEmpty() && (!line.date.isValid() || !std::isfinite(line.amount)))
        std::abort();
}

template <typename Read>
void tryRead(Read &&read)
{
    try {
        read();
    } catch (const import::ReadError &e) {
        if (e.message().isEmpty())
            std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QString path = QDir::tempPath() + QStringLiteral("/fuzz-statement-%1").arg(::getpid());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(reinterpret_cast<const char *>(data), qint64(size));
    file.close();
    const import::LineSink sink = [](import::StatementLine &&line) { check(line); };
    tryRead([&] {
        const import::Format format = import::DetectFormat(path);
        if (format == import::Format::Csv || format == import::Format::Xlsx || format == import::Format::Xls) {
            const import::MappingProposal proposal = import::ProposeMapping(import::SampleTable(path, format));
            import::ReadStatement(path, format, &proposal.mapping, sink);
        } else if (format != import::Format::Unknown) {
            import::ReadStatement(path, format, nullptr, sink);
        }
    });
    // Each reader of a fixed layout also meets what is not its own format.
    tryRead([&] { import::ReadOfx(path, sink, {}); });
    tryRead([&] { import::ReadQif(path, sink, {}); });
    tryRead([&] { import::ReadCamt053(path, sink, {}); });
    tryRead([&] { import::ReadMt940(path, sink, {}); });
    return 0;
}
