// The Open and Save As dialogs on QFileDialog. Qt's own dialog is used (not the desktop's) so
// that it behaves the same everywhere and speaks the program's language.
#include "dialogs/OpenSave.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QScreen>
#include <QTreeView>
#include <stdexcept>

namespace {

constexpr qsizetype MaxPathLength = 255;

// "desc|pattern|desc|pattern" → Qt's "desc (pattern)" filters; several patterns of one entry
// may be separated by ";". An entry without its pattern is dropped, as the system dialogs do.
QStringList NameFilters(const QString& filter) {
    const QStringList items = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < items.size(); i += 2) {
        QString pattern = items.at(i + 1).trimmed();
        if (pattern.isEmpty())
            continue;
        pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
        // A description that already shows its pattern, "Documento PDF (*.pdf)", is shown as it is.
        const QString shown = QStringLiteral("(%1)").arg(pattern);
        const bool showsPattern = items.at(i).trimmed().endsWith(shown);
        filters << (showsPattern ? items.at(i) : QStringLiteral("%1 %2").arg(items.at(i), shown));
    }
    return filters;
}

// Qt's file list writes sizes and dates in the system's locale; the program speaks Italian
// whatever the system's settings, so both columns are written in the default locale instead.
class ProgramLocaleColumns : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    enum Column { Name, Size, Type, Date };

    QVariant data(const QModelIndex& index, int role) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (!files || role != Qt::DisplayRole || (index.column() != Size && index.column() != Date))
            return QIdentityProxyModel::data(index, role);
        const QFileInfo info = files->fileInfo(mapToSource(index));
        if (index.column() == Size)
            return info.isDir() ? QString() : QLocale().formattedDataSize(info.size());
        return QLocale().toString(info.lastModified(), QLocale::ShortFormat);
    }
};

// A first size that shows the name, size and date of an archive whole, where the screen has room.
void SizeForColumns(QFileDialog& dialog, QWidget* owner) {
    const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    QSize size(760, 500);
    if (screen)
        size = size.boundedTo(screen->availableGeometry().size());
    dialog.resize(size);
    if (auto* list = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = list->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(ProgramLocaleColumns::Name, QHeaderView::Stretch);
        for (int column : {ProgramLocaleColumns::Size, ProgramLocaleColumns::Type, ProgramLocaleColumns::Date})
            header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
}

struct Request {
    QWidget* owner;
    QString title, initDir, filter, defaultExt, fileName;
    long filterIndex;
};

// Shows the dialog; the chosen path, or "" when the user cancelled or the path is unusable.
QString Run(const Request& r, bool open) {
    QFileDialog dialog(r.owner, r.title, r.initDir);
    dialog.setObjectName(open ? QStringLiteral("OpenDialog") : QStringLiteral("SaveDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setViewMode(QFileDialog::Detail);
    dialog.setProxyModel(new ProgramLocaleColumns(&dialog));
    SizeForColumns(dialog, r.owner);

    const QStringList filters = NameFilters(r.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const long index = r.filterIndex >= 1 && r.filterIndex <= filters.size() ? r.filterIndex : 1;
        dialog.selectNameFilter(filters.at(index - 1));
    }
    QString ext = r.defaultExt;
    if (ext.startsWith(QLatin1Char('.')))
        ext.remove(0, 1);
    if (!ext.isEmpty())
        dialog.setDefaultSuffix(ext);
    if (!r.fileName.isEmpty())
        dialog.selectFile(r.fileName);

    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString chosen = QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
    // The path must fit the 255 characters the callers count on, and its folder must exist.
    if (chosen.size() > MaxPathLength || !QFileInfo(chosen).absoluteDir().exists())
        return {};
    return chosen;
}

} // namespace

void OpenSave::ShowOpen() {
    if (m_fileName.size() > MaxPathLength)
        throw std::length_error("OpenSave: the proposed file name is longer than 255 characters");
    m_fileName = Run({m_owner, m_title, m_initDir, m_filter, m_defaultExt, m_fileName, m_filterIndex}, true);
}

void OpenSave::ShowSave() {
    if (m_fileName.size() > MaxPathLength)
        throw std::length_error("OpenSave: the proposed file name is longer than 255 characters");
    m_fileName = Run({m_owner, m_title, m_initDir, m_filter, m_defaultExt, m_fileName, m_filterIndex}, false);
}
