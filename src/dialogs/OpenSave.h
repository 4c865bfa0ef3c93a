#pragma once
// The Open and Save As dialogs behind a small property interface.
// Filter is "description|pattern|description|pattern…"; FileName is empty after a cancel.

#include <QString>

class QWidget;

class OpenSave {
public:
    void SetFilter(const QString& sFilter) { m_filter = sFilter; }
    QString FileName() const { return m_fileName; }
    void SetDialogTitle(const QString& sTitle) { m_title = sTitle; }
    void SetOwner(QWidget* owner) { m_owner = owner; } // the hOwner of the dialogs
    void SetDefaultExt(const QString& sDefExt) { m_defaultExt = sDefExt; }
    void SetInitDir(const QString& sDir) { m_initDir = sDir; }
    long FilterIndex() const { return m_filterIndex; }
    void SetFilterIndex(long lIndex) { m_filterIndex = lIndex; }
    void SetFileName(const QString& sFileName) { m_fileName = sFileName; }

    // Modal to the owner; set FileName to the chosen full path or to "" on cancel.
    // A proposed FileName over 255 characters throws std::length_error.
    void ShowOpen();
    void ShowSave();

private:
    QString m_filter, m_fileName, m_title, m_defaultExt, m_initDir;
    QWidget* m_owner = nullptr;
    long m_filterIndex = 0;
};
