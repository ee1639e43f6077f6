#include "ui/path_text.h"

#include <QByteArray>
#include <QFile>

namespace talvek {

QString pathText(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string pathBytes(const QString& text) {
  return QFile::encodeName(text).toStdString();
}

std::optional<std::string> localFileBytes(const QUrl& url) {
  if (!url.isLocalFile()) return std::nullopt;
  // A file on another host has only Qt's text form ("//host/path").
  if (!url.host().isEmpty()) return pathBytes(url.toLocalFile());
  // Percent-encoded, the path holds every byte, UTF-8 or not.
  return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

QUrl localFileUrl(const std::string& path) {
  if (path.empty() || path.front() != '/') return QUrl::fromLocalFile(pathText(path));
  return QUrl::fromEncoded("file://" + QByteArray::fromStdString(path).toPercentEncoding("/"),
                           QUrl::StrictMode);
}

}  // namespace talvek
