// The maintenance window's controls: kinds, names, geometry, captions, tooltips and initial
// state. Positions are in twips, converted at 15 twips per device-independent pixel.
#include "maintenance/frmUtility.h"
#include "mainwindow/frmTips_ui.h"

#include <QComboBox>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>

namespace {

constexpr int TwipsPerPixel = 15;

QRect twips(int left, int top, int width, int height) {
    auto px = [](int tw) { return (tw + TwipsPerPixel / 2) / TwipsPerPixel; };
    return {px(left), px(top), px(width), px(height)};
}

const QColor DarkGrey(64, 64, 64);

QLabel* label(QWidget* parent, const QString& name, const QString& text, const QRect& geometry) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setGeometry(geometry);
    return l;
}

void setTextColor(QWidget* w, const QColor& color) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, color);
    w->setPalette(p);
}

QFont bold(const QFont& base, int pointSize) {
    QFont f = base;
    f.setBold(true);
    if (pointSize > 0) f.setPointSize(pointSize);
    return f;
}

// A decoration: lines and frames, never in the way of the mouse or the focus.
QFrame* frame(QWidget* parent, const QString& name, const QRect& geometry, QFrame::Shape shape,
              QFrame::Shadow shadow = QFrame::Sunken) {
    auto* f = new QFrame(parent);
    f->setObjectName(name);
    f->setGeometry(geometry);
    f->setFrameShape(shape);
    f->setFrameShadow(shadow);
    f->setAttribute(Qt::WA_TransparentForMouseEvents);
    f->setFocusPolicy(Qt::NoFocus);
    return f;
}

} // namespace

frmUtility::frmUtility(QWidget* parent) : QDialog(parent) {
    qn::ui::EnsurePictures();
    setObjectName(QStringLiteral("frmUtility"));
    setWindowTitle(QStringLiteral("DB utility"));
    QFont captions(QStringLiteral("Liberation Sans"));
    captions.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    captions.setPointSize(8);
    setFont(captions);
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                            Qt::MSWindowsFixedSizeDialogHint;
    // In front of a main window that is kept on top of all windows.
    if (parent && (parent->window()->windowFlags() & Qt::WindowStaysOnTopHint))
        flags |= Qt::WindowStaysOnTopHint;
    setWindowFlags(flags);
    setModal(true);
    buildLayout();
    connectSignals();
    // Esc presses cmdEsci, the cancel button.
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    esc->setContext(Qt::WindowShortcut);
    connect(esc, &QShortcut::activated, this, [this] { cmdEsci->click(); });
    Form_Load();
}

frmUtility::~frmUtility() = default;

void frmUtility::buildLayout() {
    setFixedSize(twips(0, 0, 4305, 6060).size());

    // The heading twice, the dark one a pixel lower: a shadowed title.
    const QFont heading = bold(font(), 10);
    Label1[1] = label(this, QStringLiteral("Label1(1)"), QStringLiteral("Gestione e manutenzione DB"),
                      twips(360, 135, 3585, 270));
    Label1[0] = label(this, QStringLiteral("Label1(0)"), QStringLiteral("Gestione e manutenzione DB"),
                      twips(360, 120, 3585, 270));
    for (QLabel* l : Label1)
        l->setFont(heading);
    setTextColor(Label1[1], DarkGrey);
    setTextColor(Label1[0], Qt::white);

    lblDbVuoto = label(this, QStringLiteral("lblDbVuoto"),
                       QStringLiteral(">>> Attenzione: database vuoto <<<"), twips(120, 405, 4065, 195));
    lblDbVuoto->setFont(bold(font(), 0));
    lblDbVuoto->setAlignment(Qt::AlignCenter);
    setTextColor(lblDbVuoto, Qt::red);
    lblDbVuoto->hide(); // between the heading and the help box, which never covers it

    // From the top: copy (2), compact (0), repair (1), create (3).
    static constexpr int tops[4] = {1440, 2160, 720, 2880};
    static constexpr const char* pictures[4] = {
        ":/buttons/cmdUtility0-compact.svg", ":/buttons/cmdUtility1-repair.svg",
        ":/buttons/cmdUtility2-copy.svg", ":/buttons/cmdUtility3-create.svg"};
    static constexpr const char* captions[4] = {"Compatta database", "Ripara database", "Copia database",
                                                "Crea nuovo database"};
    for (int i = 0; i < 4; ++i) {
        auto* b = new QPushButton(this);
        b->setObjectName(QStringLiteral("cmdUtility(%1)").arg(i));
        b->setGeometry(twips(360, tops[i], 855, 645));
        b->setIcon(QIcon(QString::fromLatin1(pictures[i])));
        b->setIconSize(QSize(32, 32));
        b->setAutoDefault(false);
        b->setAccessibleName(QString::fromUtf8(captions[i])); // the caption of the label beside it
        cmdUtility[i] = b;
        Label2[i] = label(this, QStringLiteral("Label2(%1)").arg(i), QString::fromUtf8(captions[i]),
                          twips(1440, tops[i] + 195, 2505, 255));
        setTextColor(Label2[i], DarkGrey);
    }

    Label3 = label(this, QStringLiteral("Label3"), QStringLiteral(" Rinomina "), twips(360, 3615, 960, 225));
    Label3->setFont(bold(font(), 0));
    Label3->setAutoFillBackground(true); // the title interrupts the frame's top line
    static constexpr const char* optCaptions[2] = {"Categoria", "ChiaveRicerca"};
    static constexpr const char* optTips[2] = {"Rinomina una categoria", "Rinomina una ChiaveRicerca"};
    static constexpr int optLefts[2] = {480, 2160};
    static constexpr int optWidths[2] = {1440, 1785};
    for (int i = 0; i < 2; ++i) {
        auto* o = new QRadioButton(QString::fromLatin1(optCaptions[i]), this);
        o->setObjectName(QStringLiteral("optRename(%1)").arg(i));
        o->setGeometry(twips(optLefts[i], 3915, optWidths[i], 255));
        o->setToolTip(QString::fromLatin1(optTips[i]));
        o->setAccessibleName(o->text());
        optRename[i] = o;
    }
    Label5 = label(this, QStringLiteral("Label5"), QStringLiteral("Nome da cambiare"),
                   twips(480, 4245, 1455, 255));
    cboRename = new QComboBox(this);
    cboRename->setObjectName(QStringLiteral("cboRename"));
    cboRename->setGeometry(twips(1980, 4200, 1965, 315));
    cboRename->setEditable(false); // the user picks a value; typing is not possible
    cboRename->setToolTip(QStringLiteral("Seleziona la voce da rinominare"));
    cboRename->setAccessibleName(Label5->text());
    cboRename->setFont(qn::ui::ListFont());
    cboRename->setEnabled(false);
    Label4 = label(this, QStringLiteral("Label4"), QStringLiteral("Nuovo nome"), twips(480, 4620, 1455, 255));
    txtRename = new QLineEdit(this);
    txtRename->setObjectName(QStringLiteral("txtRename"));
    txtRename->setGeometry(twips(1980, 4575, 1965, 315));
    txtRename->setToolTip(QStringLiteral("Digita la nuova voce"));
    txtRename->setAccessibleName(Label4->text());
    txtRename->setFont(qn::ui::ListFont());
    txtRename->setEnabled(false);
    Label5->setBuddy(cboRename);
    Label4->setBuddy(txtRename);
    cmdRename = new QPushButton(QStringLiteral("Rinomina"), this);
    cmdRename->setObjectName(QStringLiteral("cmdRename"));
    cmdRename->setGeometry(twips(2625, 4965, 1320, 315));
    cmdRename->setToolTip(QStringLiteral("Rinomina la voce selezionata"));
    cmdRename->setAccessibleName(cmdRename->text());
    cmdRename->setAutoDefault(false);
    cmdRename->setEnabled(false);

    Check1 = new QPushButton(this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->setGeometry(twips(240, 5535, 495, 420));
    Check1->setCheckable(true);
    Check1->setIcon(QIcon(QStringLiteral(":/buttons/Check1-help.svg")));
    Check1->setIconSize(QSize(20, 20));
    Check1->setToolTip(QStringLiteral("Guida all'uso delle utility"));
    Check1->setAccessibleName(Check1->toolTip());
    Check1->setAutoDefault(false);

    cmdEsci = new QPushButton(QStringLiteral("&Esci"), this);
    cmdEsci->setObjectName(QStringLiteral("cmdEsci"));
    cmdEsci->setGeometry(twips(2745, 5565, 1320, 375));
    cmdEsci->setToolTip(QStringLiteral("chiude la finestra"));
    cmdEsci->setAccessibleName(QStringLiteral("Esci"));
    cmdEsci->setAutoDefault(false);

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(twips(120, 600, 4065, 4755));
    Text1->setReadOnly(true);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setFont(qn::ui::ListFont());
    Text1->setAccessibleName(Check1->toolTip());
    Text1->hide();

    // Decorations behind everything: frames of the two sections, the rule above the buttons at
    // the bottom, the rule between the command buttons and their labels.
    for (QFrame* f :
         {frame(this, QStringLiteral("Shape1"), twips(240, 690, 3825, 2895), QFrame::Box),
          frame(this, QStringLiteral("Shape2"), twips(240, 3720, 3825, 1620), QFrame::Box),
          frame(this, QStringLiteral("Line1"), twips(120, 5400, 4065, 30), QFrame::HLine),
          frame(this, QStringLiteral("Line2"), twips(120, 5445, 4065, 30), QFrame::HLine, QFrame::Raised),
          frame(this, QStringLiteral("Line3(0)"), twips(1290, 720, 30, 2805), QFrame::VLine),
          frame(this, QStringLiteral("Line3(1)"), twips(1320, 720, 30, 2805), QFrame::VLine, QFrame::Raised)})
        f->lower();
    Label3->raise();
    Text1->raise(); // when shown it covers the commands and the rename section

    // Tab follows the window from the top.
    const std::initializer_list<QWidget*> order = {cmdUtility[2], cmdUtility[0], cmdUtility[1], cmdUtility[3],
                                                   optRename[0],  optRename[1],  cboRename,     txtRename,
                                                   cmdRename,     Check1,        Text1,         cmdEsci};
    QWidget* previous = nullptr;
    for (QWidget* w : order) {
        if (previous) setTabOrder(previous, w);
        previous = w;
    }
}
