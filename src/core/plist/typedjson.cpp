#include "plist/typedjson.h"

#include <cstdio>

namespace folivo::plist {

namespace {

void appendString(QByteArray& out, const QString& s)
{
    out += '"';
    const QByteArray utf8 = s.toUtf8();
    for (char ch : utf8) {
        const unsigned char c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += ch;
            }
        }
    }
    out += '"';
}

QByteArray real17(double d)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", d);
    return buf;
}

void newline(QByteArray& out, int indent, int level)
{
    if (indent < 0)
        return;
    out += '\n';
    out += QByteArray(indent * level, ' ');
}

void write(QByteArray& out, const Value& v, int indent, int level)
{
    auto tagged = [&](const char* type) {
        out += "{\"";
        out += type;
        out += "\": ";
    };
    switch (v.type()) {
    case Type::None: out += "null"; return;
    case Type::Bool: tagged("bool"); out += v.boolValue() ? "true" : "false"; break;
    case Type::Integer: tagged("integer"); out += '"' + QByteArray::number(qlonglong(v.intValue())) + '"'; break;
    case Type::Unsigned: tagged("unsigned"); out += '"' + QByteArray::number(qulonglong(v.unsignedValue())) + '"'; break;
    case Type::Real: tagged("real"); out += '"' + real17(v.realValue()) + '"'; break;
    case Type::Date: tagged("date"); out += '"' + real17(v.date().secondsSince2001) + '"'; break;
    case Type::String: tagged("string"); appendString(out, v.string()); break;
    case Type::Data: tagged("data"); out += '"' + v.data().toBase64() + '"'; break;
    case Type::Uid: tagged("uid"); out += '"' + QByteArray::number(qulonglong(v.uid().index)) + '"'; break;
    case Type::Array: {
        tagged("array");
        out += '[';
        bool first = true;
        for (const Value& e : v.array()) {
            if (!first)
                out += ',';
            first = false;
            newline(out, indent, level + 1);
            write(out, e, indent, level + 1);
        }
        if (!v.array().empty())
            newline(out, indent, level);
        out += ']';
        break;
    }
    case Type::Dict: {
        tagged("dict");
        out += '{';
        bool first = true;
        for (const auto& [key, e] : v.dict()) {
            if (!first)
                out += ',';
            first = false;
            newline(out, indent, level + 1);
            appendString(out, key);
            out += ": ";
            write(out, e, indent, level + 1);
        }
        if (!v.dict().empty())
            newline(out, indent, level);
        out += '}';
        break;
    }
    }
    out += '}';
}

} // namespace

QByteArray toTypedJson(const Value& value, int indent)
{
    QByteArray out;
    write(out, value, indent, 0);
    return out;
}

} // namespace folivo::plist
