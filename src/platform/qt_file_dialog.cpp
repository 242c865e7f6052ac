// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt_file_dialog.h"

#include "base/failure.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>

#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace tamro {
namespace {

QString withoutPatternGroup(QString description)
{
    description = description.trimmed();
    const qsizetype open = description.lastIndexOf(u'(');
    if (description.endsWith(u')') && open >= 0 && description.indexOf(u'*', open) >= 0)
        description = description.left(open).trimmed();
    return description;
}

bool exists(const QByteArray& path)
{
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0;
}

// The one name in `folder` that Qt shows as `shown`, or `shown` encoded when there is not exactly one.
QByteArray nameOnDisk(const QByteArray& folder, const QString& shown)
{
    const QByteArray encoded = QFile::encodeName(shown);
    if (!shown.contains(QChar::ReplacementCharacter) || exists(folder + '/' + encoded))
        return encoded;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.isEmpty() ? "/" : folder.constData()), ::closedir);
    if (!dir)
        return encoded;
    QByteArray found;
    int matches = 0;
    while (const dirent* entry = ::readdir(dir.get()))
        if (QFile::decodeName(entry->d_name) == shown) {
            found = entry->d_name;
            ++matches;
        }
    return matches == 1 ? found : encoded;
}

// Qt turns bytes of a file name that are not UTF-8 into U+FFFD, so encoding the name it returns would name
// another file. Each such part of the path is taken from the folder's own listing instead.
std::string pathOnDisk(const QString& chosen)
{
    if (!chosen.contains(QChar::ReplacementCharacter) || !chosen.startsWith(u'/'))
        return QFile::encodeName(chosen).toStdString();
    QByteArray path;
    for (const QString& part : chosen.split(u'/', Qt::SkipEmptyParts))
        path += '/' + nameOnDisk(path, part);
    return path.toStdString();
}

}  // namespace

QStringList qtNameFilters(const std::string& filter)
{
    QStringList nameFilters;
    if (filter.empty())
        return nameFilters;
    const QStringList parts = QString::fromStdString(filter).split(u'|');
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        QStringList patterns;
        if (i + 1 < parts.size())
            for (const QString& pattern : parts[i + 1].split(u';', Qt::SkipEmptyParts))
                if (!pattern.trimmed().isEmpty())
                    patterns << pattern.trimmed();
        if (patterns.isEmpty())
            patterns << QStringLiteral("*");
        nameFilters << withoutPatternGroup(parts[i]) + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    return nameFilters;
}

QIcon NameOnlyIconProvider::icon(const QFileInfo& info) const
{
    if (!info.isFile())
        return QFileIconProvider::icon(info.isDir() ? Folder : File);
    const QMimeType mime = mimeTypes_.mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
    const QIcon themed = QIcon::fromTheme(mime.iconName(), QIcon::fromTheme(mime.genericIconName()));
    return themed.isNull() ? QFileIconProvider::icon(File) : themed;
}

QString NameOnlyIconProvider::type(const QFileInfo& info) const
{
    if (!info.isFile())
        return QFileIconProvider::type(info);
    const QMimeType mime = mimeTypes_.mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
    return mime.comment().isEmpty() ? mime.name() : mime.comment();
}

PlayerFileDialog::PlayerFileDialog(QWidget* parent) : QFileDialog(parent)
{
    setIconProvider(&icons);
}

QString PlayerFileDialog::chosen() const
{
    if (!typed_.isEmpty())
        return typed_;
    const QStringList files = selectedFiles();
    return files.isEmpty() ? QString() : files.constFirst();
}

void PlayerFileDialog::accept()
{
    const auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    const QString name = edit ? edit->text() : QString();
    if (!name.contains(u'"')) {
        typed_.clear();
        QFileDialog::accept();
        return;
    }
    const QString path = QDir::isAbsolutePath(name) ? name : directory().absoluteFilePath(name);
    if (QFileInfo(path).isDir()) {
        setDirectory(path);
        return;
    }
    typed_ = path;
    QDialog::accept();
}

QtFileDialog::QtFileDialog(QWidget* parent) : parent_(parent) {}

void QtFileDialog::showOpen() { show(false); }

void QtFileDialog::showSave() { show(true); }

void QtFileDialog::show(bool save)
{
    PlayerFileDialog dialog(parent_);
    const QStringList nameFilters = qtNameFilters(filter_);
    dialog.setNameFilters(nameFilters);
    if (!nameFilters.isEmpty())
        dialog.selectNameFilter(nameFilters.first());
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // A name typed for a missing file comes back like any other; the command that uses it says what is wrong.
    dialog.setFileMode(QFileDialog::AnyFile);
    // Save replaces an existing file without asking, as it always has.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, save);
    if (!fileName_.empty())
        dialog.selectFile(QFile::decodeName(QByteArray::fromStdString(fileName_)));

    if (dialog.exec() == QDialog::Accepted && !dialog.chosen().isEmpty()) {
        fileName_ = pathOnDisk(dialog.chosen());
        return;
    }
    fileName_.clear();
    if (cancelError_)
        throw Failure("The file choice was cancelled");
}

}  // namespace tamro
