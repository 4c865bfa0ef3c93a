// Placeholder bodies for routines not written yet. Each routine moves out of this file
// into its own concern file when it is implemented; the file goes away when empty.
#include "mainwindow/frmTips.h"

#include <QComboBox>

void frmTips::Form_Load() {}
void frmTips::Form_Unload() {}
void frmTips::OpenDatabase(const QString& sDataBase) { (void)sDataBase; }
bool frmTips::VerificaTabella() { return false; }
bool frmTips::VerificaStrutturaTabella() { return false; }
void frmTips::EnableControls(bool state) { (void)state; }
void frmTips::ShowErrorNumber(long number, const QString& description) { (void)number; (void)description; }
bool frmTips::HasAttribute(const QString& path, long attribute) { (void)path; (void)attribute; return false; }
void frmTips::cmdOpenNewDB_Click() {}
void frmTips::LoadView(const QString& sql) { (void)sql; }
void frmTips::FillTitleList() {}
void frmTips::ShowCurrentRecord() {}
void frmTips::ClearFields() {}
void frmTips::cmdSposta_Click(int index) { (void)index; }
void frmTips::HighlightSearchText() {}
void frmTips::HighlightText(QWidget* box, const QString& text) { (void)box; (void)text; }
void frmTips::InitSearchPanel() {}
void frmTips::FillCategoryList(bool keep) { (void)keep; }
void frmTips::FillGenericFindList(int kind) { (void)kind; }
void frmTips::cboSelectResearch_Click() {}
void frmTips::cboFindCategoria_Click() {}
void frmTips::cboGenericFind_Click() {}
void frmTips::cmdSearch_Click() {}
void frmTips::cboTitoli_Click() {}
void frmTips::SetSelectResearchText(const QString& text) { (void)text; }
