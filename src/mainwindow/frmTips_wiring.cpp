// Connects the controls' user actions to the window's handlers, and the events Qt has no
// signal for: keys and mouse of the boxes, the counter's double-click, closing.
#include "mainwindow/frmTips.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <type_traits>

namespace {

// A user action runs its handler, then says once what damage in the archive the handler met.
template <typename Handler> auto checked(frmTips* w, Handler handler) {
    return [w, handler](auto... args) {
        if constexpr (std::is_invocable_v<Handler, decltype(args)...>)
            handler(args...);
        else
            handler(); // the handler does not take what the signal passes
        w->ReportDamage();
    };
}

} // namespace

void frmTips::connectSignals() {
    for (int i = 0; i < 2; ++i) {
        connect(optWork[i], &QPushButton::toggled, this, checked(this, [this, i](bool on) {
                    if (on) optWork_Click(i);
                }));
    }
    for (int i = 0; i < 5; ++i)
        connect(cmdTool[i], &QPushButton::clicked, this, checked(this, [this, i] { cmdTool_Click(i); }));
    for (int i = 0; i < 4; ++i)
        connect(cmdSposta[i], &QPushButton::clicked, this, checked(this, [this, i] { cmdSposta_Click(i); }));

    connect(cmdBookmark, &QPushButton::clicked, this, checked(this, [this] { cmdBookmark_Click(); }));
    connect(cmdOpenNewDB, &QPushButton::clicked, this, checked(this, [this] { cmdOpenNewDB_Click(); }));
    connect(cmdUtility, &QPushButton::clicked, this, checked(this, [this] { cmdUtility_Click(); }));
    connect(cmdClose, &QPushButton::clicked, this, checked(this, [this] { cmdClose_Click(); }));
    connect(cmdSearch, &QPushButton::clicked, this, checked(this, [this] { cmdSearch_Click(); }));
    // Enter in the search box presses the search button, as a click does (the click takes the
    // focus first).
    connect(txtFindTxt, &QLineEdit::returnPressed, this, [this] {
        cmdSearch->setFocus(Qt::OtherFocusReason);
        cmdSearch->click();
    });
    connect(chkTopMost, &QPushButton::clicked, this, [this] { chkTopMost_Click(); });
    connect(cmdAbout, &QPushButton::clicked, this, [this] { cmdAbout_Click(); });
    buildPopMenu();
    connect(cmdInviaTips, &QPushButton::clicked, this, checked(this, [this] { cmdInviaTips_Click(); }));

    connect(cboSelectResearch, &QComboBox::activated, this,
            checked(this, [this] { cboSelectResearch_Click(); }));
    connect(cboFindCategoria, &QComboBox::activated, this,
            checked(this, [this] { cboFindCategoria_Click(); }));
    connect(cboGenericFind, &QComboBox::activated, this, checked(this, [this] { cboGenericFind_Click(); }));
    connect(cboTitoli, &QComboBox::activated, this, checked(this, [this] { cboTitoli_Click(); }));

    // Events without a signal go through eventFilter.
    for (QObject* o : std::initializer_list<QObject*>{txtProcedura, txtProcedura->viewport(), lblNumRecord,
                                                      cboInsertCategoria, cboInsertKey, txtFindTxt})
        o->installEventFilter(this);
}

bool frmTips::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (watched == txtProcedura) return txtdb_KeyDown(1, key->key(), key->modifiers());
        if ((watched == cboInsertCategoria || watched == cboInsertKey) && !key->text().isEmpty()) {
            // A typed character: completion may consume it.
            int keyAscii = key->text().at(0).unicode();
            AutoSearch(static_cast<QComboBox*>(watched), keyAscii);
            return keyAscii == 0;
        }
        break;
    }
    case QEvent::MouseButtonPress:
        if (watched == txtProcedura->viewport())
            txtdb_MouseDown(1, static_cast<QMouseEvent*>(event)->button());
        break;
    case QEvent::MouseButtonDblClick:
        if (watched == lblNumRecord) {
            lblNumRecord_DblClick();
            return true;
        }
        break;
    case QEvent::FocusIn:
        if (watched == txtFindTxt) {
            // After the line edit's own focus handling, which may place the caret.
            QMetaObject::invokeMethod(
                this, [this] { txtFindTxt_GotFocus(); }, Qt::QueuedConnection);
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void frmTips::keyPressEvent(QKeyEvent* event) {
    // Esc presses cmdClose, as a cancel button would. It arrives here only when the control with
    // the focus left it alone: an open drop-down list takes Esc for itself and only closes.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdClose->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmTips::closeEvent(QCloseEvent* event) {
    // However the window closes (cmdClose, Esc, the close box), it unloads once.
    if (!m_unloaded) {
        m_unloaded = true;
        Form_Unload();
    }
    event->accept();
}
