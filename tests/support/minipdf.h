#pragma once
// Small, valid PDF documents made in memory for tests and benchmarks: one text line per
// entry, set in the standard Helvetica font, each line placed below the one before. A
// text extractor reads the lines back exactly, one per line.
//
// Characters are written in WinAnsiEncoding (Windows-1252); one that encoding lacks is
// written as "?". Parentheses, backslashes and bytes outside printable ASCII are escaped.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace folivo::test {

namespace minipdf_detail {

// The WinAnsiEncoding byte of a character, or '?' when it has none.
inline char winAnsiByte(char32_t c)
{
    if ((c >= 0x20 && c < 0x7f) || (c >= 0xa0 && c <= 0xff))
        return char(c);
    static const char32_t high[32] = {0x20ac, 0,      0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021,
                                      0x02c6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017d, 0,
                                      0,      0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014,
                                      0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0,      0x017e, 0x0178};
    for (int i = 0; i < 32; ++i)
        if (high[i] != 0 && high[i] == c)
            return char(0x80 + i);
    return '?';
}

// A PDF literal string "(…)" holding `text`.
inline QByteArray literal(const QString& text)
{
    QByteArray out = "(";
    for (char32_t c : text.toUcs4()) {
        const auto b = static_cast<unsigned char>(winAnsiByte(c));
        if (b == '(' || b == ')' || b == '\\') {
            out += '\\';
            out += char(b);
        } else if (b >= 0x20 && b < 0x7f) {
            out += char(b);
        } else {
            out += '\\';
            out += QByteArray::number(b, 8).rightJustified(3, '0');
        }
    }
    out += ')';
    return out;
}

inline QByteArray pageContent(const QStringList& lines)
{
    QByteArray s = "BT\n/F1 12 Tf\n72 740 Td\n";
    bool first = true;
    for (const QString& line : lines) {
        if (!first)
            s += "0 -16 Td\n";
        first = false;
        s += literal(line) + " Tj\n";
    }
    s += "ET\n";
    return s;
}

} // namespace minipdf_detail

// A PDF whose pages hold the given lines, page by page. The page is US Letter; lines go
// 16 points apart from the top, so about 40 fit on a page (more run off its foot).
inline QByteArray makeTextPdfPages(const QList<QStringList>& pages)
{
    using namespace minipdf_detail;
    // Objects: 1 catalog, 2 page tree, 3 font, then a page and its content per page.
    QList<QByteArray> objects;
    const qsizetype n = pages.size();
    QByteArray kids;
    for (qsizetype i = 0; i < n; ++i)
        kids += QByteArray::number(4 + 2 * i) + " 0 R ";
    objects << "<< /Type /Catalog /Pages 2 0 R >>";
    objects << "<< /Type /Pages /Kids [ " + kids + "] /Count " + QByteArray::number(n) + " >>";
    objects << "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>";
    for (qsizetype i = 0; i < n; ++i) {
        const QByteArray content = pageContent(pages[i]);
        objects << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 3 0 R >> >> "
                   "/Contents " + QByteArray::number(5 + 2 * i) + " 0 R >>";
        objects << "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content + "endstream";
    }

    QByteArray pdf = "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n";
    QList<qsizetype> offsets;
    for (qsizetype i = 0; i < objects.size(); ++i) {
        offsets << pdf.size();
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n";
    pdf += "0000000000 65535 f \n"; // every entry is exactly 20 bytes
    for (qsizetype off : offsets)
        pdf += QByteArray::number(off).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R >>\n";
    pdf += "startxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

// A PDF of `pages` pages, each holding the same lines.
inline QByteArray makeTextPdf(const QStringList& pageLines, int pages = 1)
{
    QList<QStringList> all;
    for (int i = 0; i < pages; ++i)
        all << pageLines;
    return makeTextPdfPages(all);
}

} // namespace folivo::test
