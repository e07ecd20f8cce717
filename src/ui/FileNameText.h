#pragma once

#include <QString>
#include <QStringView>

#include <string>
#include <string_view>

class QUrl;

namespace qm {

// File names as the window holds them, and back to the file system's bytes,
// without losing one.
//
// The file system takes any bytes, but Qt reads a name as UTF-8 and turns a
// byte that is not UTF-8 (a Latin-1 "caf\xE9.mob", say) into U+FFFD, after
// which the file cannot be found again. Here such a byte becomes U+DC80 plus
// its value instead: a lone surrogate, which no decoded text holds, so the
// way back is exact.
QString FileNameFromBytes(std::string_view bytes);
std::string FileNameToBytes(QStringView name);

// For showing a name: each byte that is not UTF-8 shows as U+FFFD.
QString FileNameForDisplay(QStringView name);

// The name of a local file URL, taken from its percent-encoded bytes so that
// a file dialog's answer keeps them; empty for a URL that is no local file.
QString FileNameFromUrl(const QUrl& url);

// A name made absolute against the working folder and cleaned of "." and
// "..", as the Open dialog hands names over.
QString AbsoluteFileName(const QString& name);

} // namespace qm
