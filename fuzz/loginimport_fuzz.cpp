// Exported login files from anywhere: decoding, the field reader with each separator, and the
// rows made from what it read must never crash, hang or break the name rule.
//   build/fuzz/fuzz/loginimport_fuzz -max_len=65536 fuzz/corpus/loginimport

#include "logins/loginimport.h"
#include "store/packagepath.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = folivo::decodeLoginFile(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    for (const auto separator :
         {folivo::LoginSeparator::Tab, folivo::LoginSeparator::Comma, folivo::LoginSeparator::Semicolon}) {
        for (const QStringList& row : folivo::readLoginRows(text, separator)) {
            if (row.size() > folivo::kLoginImportColumns)
                std::abort();
            const folivo::LoginImportRow made = folivo::planLoginImportRow(row, folivo::exportHeaderColumns());
            if (made.problem.isEmpty() && folivo::checkName(made.name) != folivo::NameProblem::None)
                std::abort();
        }
    }
    return 0;
}
