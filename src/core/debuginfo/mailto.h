#pragma once
// The "mailto:" address that starts a new message in the person's mail program.
//
// The subject and the body are each percent-encoded as a whole field value (RFC 6068), so
// that "&", "=", "#", "+" and "%" in the text stay text instead of starting another header
// field. A body that would make the address longer than a program argument may be is cut at
// a line, with a note saying so: the caller puts the whole text on the clipboard then.

#include <QString>
#include <QUrl>

namespace folivo {

struct MailtoAddress {
    QUrl url;
    bool bodyCut = false; // the body was cut to fit; the whole text must reach the person otherwise
};

// Longest encoded address handed on (xdg-email passes it as one argument; Linux refuses
// a single argument longer than 128 KiB, and mail programs take less).
inline constexpr qsizetype kMailtoLimit = 32 * 1024;

MailtoAddress mailtoAddress(const QString& to, const QString& subject, const QString& body,
                            qsizetype limit = kMailtoLimit);

} // namespace folivo
