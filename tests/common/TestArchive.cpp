#include "TestArchive.h"

#include "engine/Database.h"
#include "startup/GenericBas.h"
#include "tipsdb/CreateDB.h"

#include <QApplication>
#include <QComboBox>
#include <QDebug>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace TestArchive {

QStringList TipsFieldNames() {
    return {QStringLiteral("KeyPrimary"), QStringLiteral("Titolo"),        QStringLiteral("Procedura"),
            QStringLiteral("Categoria"),  QStringLiteral("ChiaveRicerca"), QStringLiteral("Note"),
            QStringLiteral("Bookmark"),   QStringLiteral("Linguaggio")};
}

bool AddTips(const QString& path, const QList<Tip>& tips) {
    try {
        auto db = qn::DBEngine::Workspaces(0).OpenDatabase(path, true, false);
        auto rs = db->OpenRecordset(QStringLiteral("TipsTable"), qn::dbOpenDynaset);
        for (const Tip& t : tips) {
            rs->AddNew();
            rs->Fields(QStringLiteral("Titolo")).SetValue(t.titolo);
            rs->Fields(QStringLiteral("Procedura")).SetValue(t.procedura);
            rs->Fields(QStringLiteral("Categoria")).SetValue(t.categoria);
            rs->Fields(QStringLiteral("ChiaveRicerca")).SetValue(t.chiave);
            rs->Fields(QStringLiteral("Note")).SetValue(t.note);
            rs->Fields(QStringLiteral("Bookmark")).SetValue(t.bookmark);
            rs->Update();
        }
        rs->Close();
        db->Close();
        return true;
    } catch (const qn::EngineError& e) {
        qWarning() << "test archive:" << e.number() << e.description();
        return false;
    }
}

bool CreateTips(const QString& path, const QList<Tip>& tips) {
    return CreateDB::CreateTipsDatabase(path) && AddTips(path, tips);
}

bool CreateTable(const QString& path, const QString& table, const QStringList& fields) {
    try {
        auto db = qn::DBEngine::Workspaces(0).CreateDatabase(path, QString::fromLatin1(CreateDB::TipsLocale));
        qn::TableDef def = db->CreateTableDef(table);
        for (const QString& name : fields)
            def.Fields.Append(def.CreateField(name, qn::dbText, 50));
        db->TableDefs().Append(def);
        auto rs = db->OpenRecordset(table, qn::dbOpenDynaset);
        rs->AddNew();
        rs->Fields(0).SetValue(QStringLiteral("riga"));
        rs->Update();
        rs->Close();
        db->Close();
        return true;
    } catch (const qn::EngineError& e) {
        qWarning() << "test table:" << e.number() << e.description();
        return false;
    }
}

bool MakeReadOnly(const QString& path) {
    return QFile::setPermissions(path,
                                 QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
}

bool IsFree(const QString& path) {
    try {
        auto db = qn::DBEngine::Workspaces(0).OpenDatabase(path, true, true);
        db->Close();
        return true;
    } catch (const qn::EngineError&) {
        return false;
    }
}

} // namespace TestArchive

FileDialogAnswer::FileDialogAnswer(const QString& path, QObject* parent) : QObject(parent), m_path(path) {
    auto* timer = new QTimer(this);
    timer->setInterval(10);
    connect(timer, &QTimer::timeout, this, &FileDialogAnswer::poll);
    timer->start();
}

void FileDialogAnswer::poll() {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (m_answered || !dialog || !dialog->isVisible()) return;
    m_answered = true;
    m_title = dialog->windowTitle();
    m_filters = dialog->nameFilters();
    if (m_path.isEmpty()) {
        dialog->reject();
    } else {
        dialog->selectFile(m_path);
        static_cast<QDialog*>(dialog)->accept(); // QFileDialog::accept checks the choice
    }
}

ArchiveWindow::ArchiveWindow() : path(dir.filePath(QStringLiteral("Quillnote.mdb"))) {}

ArchiveWindow::~ArchiveWindow() {
    close();
}

void ArchiveWindow::load(const QString& archive, const QList<QMessageBox::StandardButton>& answers) {
    GenericBas::DatabasePath = archive.isEmpty() ? path : archive;
    window = std::make_unique<frmTips>();
    if (!answers.isEmpty()) boxes.arm(answers);
    window->Form_Load();
    QCoreApplication::processEvents();
}

void ArchiveWindow::close() {
    if (window) {
        window->close();
        window.reset();
    }
    GenericBas::TipsRecordset.reset();
    GenericBas::TipsDatabase.reset();
}

QPushButton* ArchiveWindow::button(const QString& name) const {
    return child<QPushButton>(name);
}

QComboBox* ArchiveWindow::combo(const QString& name) const {
    return child<QComboBox>(name);
}

QString ArchiveWindow::boxText(int index) const {
    QWidget* w = child<QWidget>(QStringLiteral("txtdb(%1)").arg(index));
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    if (auto* p = qobject_cast<QPlainTextEdit*>(w)) return p->toPlainText();
    return QStringLiteral("<no box>");
}

QString ArchiveWindow::counter() const {
    return child<QLabel>(QStringLiteral("lblNumRecord"))->text();
}

QStringList ArchiveWindow::items(const QString& comboName) const {
    QStringList out;
    const QComboBox* c = combo(comboName);
    for (int i = 0; i < c->count(); ++i)
        out << c->itemText(i);
    return out;
}

void ArchiveWindow::pick(const QString& comboName, const QString& text) const {
    QComboBox* c = combo(comboName);
    const int i = c->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (i < 0) {
        qWarning() << "no entry" << text << "in" << comboName;
        return;
    }
    c->setCurrentIndex(i);
    emit c->activated(i);
}

void ArchiveWindow::click(const QString& buttonName) const {
    QTest::mouseClick(button(buttonName), Qt::LeftButton);
}

bool ArchiveWindow::clickAnswering(const QString& buttonName,
                                   const QList<QMessageBox::StandardButton>& answers) {
    const int before = boxes.count();
    boxes.arm(answers);
    click(buttonName);
    return boxes.waitForCount(before + static_cast<int>(answers.size()));
}

bool ArchiveWindow::pickAnswering(const QString& comboName, const QString& text,
                                  const QList<QMessageBox::StandardButton>& answers) {
    const int before = boxes.count();
    boxes.arm(answers);
    pick(comboName, text);
    return boxes.waitForCount(before + static_cast<int>(answers.size()));
}
