// File names are bytes; Qt's widgets hold text. Qt's conversions between the
// two are UTF-8 and lose every byte that is not (QFile::decodeName turns
// "a\xff" into "a\uFFFD"), so the window takes a dropped file's bytes from
// its URL and keeps the bytes a field was given (see EncoderWindow).
#pragma once

#include <QString>
#include <QUrl>
#include <optional>
#include <string>

namespace talvek {

// The text that shows a path; not always its way back.
QString pathText(const std::string& path);
// The bytes of a path typed or picked as text.
std::string pathBytes(const QString& text);

// The path of a local file's URL, byte for byte (its percent-encoded path
// decoded); nullopt for any other URL.
std::optional<std::string> localFileBytes(const QUrl& url);
// The file URL of an absolute path, byte for byte.
QUrl localFileUrl(const std::string& path);

}  // namespace talvek
