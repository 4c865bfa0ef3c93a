// The main window's controls: kinds, names, geometry, tooltips, initial state and tab order.
// Positions are kept in twips, as the window was designed, and converted at 15 twips per
// device-independent pixel; Qt scales for high-DPI screens.
#include "mainwindow/DropDownList.h"
#include "mainwindow/LongLines.h"
#include "mainwindow/TitleList.h"
#include "mainwindow/frmTips.h"
#include "mainwindow/frmTips_ui.h"

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

namespace {

constexpr int TwipsPerPixel = 15;

QRect twips(int left, int top, int width, int height) {
    auto px = [](int tw) { return (tw + TwipsPerPixel / 2) / TwipsPerPixel; };
    return {px(left), px(top), px(width), px(height)};
}

// A flat picture button with a tooltip, which is also its accessible name.
QPushButton* pictureButton(QWidget* parent, const QString& name, const QString& picture,
                           const QString& tip, const QRect& geometry) {
    auto* b = new QPushButton(parent);
    b->setObjectName(name);
    b->setGeometry(geometry);
    b->setIcon(QIcon(picture));
    b->setIconSize(geometry.size() - QSize(10, 10));
    b->setToolTip(tip);
    b->setAccessibleName(tip);
    b->setAutoDefault(false);
    return b;
}

QLabel* label(QWidget* parent, const QString& name, const QString& text, const QRect& geometry) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setGeometry(geometry);
    return l;
}

QComboBox* combo(QWidget* parent, const QString& name, bool editable, const QString& accessibleName,
                 const QRect& geometry) {
    auto* c = new DropDownList(parent);
    c->setObjectName(name);
    c->setGeometry(geometry);
    c->setEditable(editable);
    if (editable) {
        // Completion is the window's own (AutoSearch); Qt must neither complete nor add items.
        c->setCompleter(nullptr);
        c->setInsertPolicy(QComboBox::NoInsert);
    }
    c->setAccessibleName(accessibleName);
    c->setFont(qn::ui::ListFont());
    return c;
}

QLineEdit* lineBox(QWidget* parent, const QString& name, const QString& accessibleName,
                   const QRect& geometry) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setGeometry(geometry);
    e->setAccessibleName(accessibleName);
    return e;
}

// A decoration: no behaviour, never in the way of the mouse.
template <class W> W* decoration(QWidget* parent, const QString& name, const QRect& geometry) {
    auto* w = new W(parent);
    w->setObjectName(name);
    w->setGeometry(geometry);
    w->setAttribute(Qt::WA_TransparentForMouseEvents);
    w->setFocusPolicy(Qt::NoFocus);
    return w;
}

QFrame* line(QWidget* parent, const QString& name, const QRect& geometry, QFrame::Shape shape) {
    auto* f = decoration<QFrame>(parent, name, geometry);
    f->setFrameShape(shape);
    f->setFrameShadow(QFrame::Sunken);
    return f;
}

} // namespace

frmTips::frmTips(QWidget* parent) : QWidget(parent) {
    qn::ui::EnsurePictures();
    setObjectName(QStringLiteral("frmTips"));
    setWindowTitle(QStringLiteral("Quillnote"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/201-window.svg")));
    // The layout is measured for small 8-point captions; the desktop's larger default font
    // would spill the labels over the boxes beside them.
    QFont captions(QStringLiteral("Liberation Sans"));
    captions.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    captions.setPointSize(8);
    setFont(captions);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
                   | Qt::MSWindowsFixedSizeDialogHint);
    buildLayout();
    setTabOrder();
    connectSignals();


    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r = rect();
        r.moveCenter(screen->availableGeometry().center());
        move(r.topLeft());
    }
}

frmTips::~frmTips() = default;

void frmTips::buildLayout() {
    setFixedSize(twips(0, 0, 6945, 7035).size());
    buildToolbar();
    buildRecordArea();
    buildSearchPanel();
    buildWorkPanel();
    buildNavigation();

    // Decorations: frames around the toolbar groups and the record counter, separating lines.
    for (QWidget* w : {static_cast<QWidget*>(line(this, QStringLiteral("Line1"), twips(60, 825, 6825, 30), QFrame::HLine)),
                       static_cast<QWidget*>(line(this, QStringLiteral("Line2"), twips(60, 6450, 6825, 30), QFrame::HLine)),
                       static_cast<QWidget*>(line(this, QStringLiteral("Line3"), twips(1485, 120, 45, 615), QFrame::VLine)),
                       static_cast<QWidget*>(line(this, QStringLiteral("Line4"), twips(5970, 120, 45, 615), QFrame::VLine))})
        w->lower();
    // The frame around the two mode buttons separates them from cmdUtility, with a gap, so the
    // line that would separate them stays hidden under it.
    auto* shape1 = decoration<QFrame>(this, QStringLiteral("Shape1"), twips(60, 60, 1425, 720));
    shape1->setFrameShape(QFrame::StyledPanel);
    findChild<QWidget*>(QStringLiteral("Line3"))->hide();
    // The counter's frame ends inside the window; the counter's text stays where it is.
    auto* shape2 = decoration<QFrame>(this, QStringLiteral("Shape2"), twips(1980, 6585, 3135, 435));
    shape2->setFrameShape(QFrame::StyledPanel);
    auto* image1 = decoration<QLabel>(this, QStringLiteral("Image1"), twips(5865, 240, 90, 375));
    auto* image2 = decoration<QLabel>(this, QStringLiteral("Image2"), twips(6150, 240, 90, 375));
    for (QLabel* img : {image1, image2}) {
        img->setPixmap(qn::ui::Picture(QStringLiteral(":/pictures/dots.svg"), img->size()));
        img->setScaledContents(true);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{shape1, shape2, image1, image2})
        w->lower();
}

void frmTips::buildToolbar() {
    const QString optTips[2] = {QStringLiteral("Visualizza Tips DB"), QStringLiteral("Modifica Tips DB")};
    const QString optPictures[2] = {QStringLiteral(":/buttons/optWork0-view.svg"),
                                    QStringLiteral(":/buttons/optWork1-edit.svg")};
    auto* group = new QButtonGroup(this);
    group->setObjectName(QStringLiteral("optWorkGroup"));
    group->setExclusive(true);
    for (int i = 0; i < 2; ++i) {
        optWork[i] = pictureButton(this, QStringLiteral("optWork(%1)").arg(i), optPictures[i], optTips[i],
                                   twips(120 + 720 * i, 120, 615, 615));
        optWork[i]->setCheckable(true);
        group->addButton(optWork[i], i);
    }
    optWork[0]->setChecked(true);

    cmdUtility = pictureButton(this, QStringLiteral("cmdUtility"), QStringLiteral(":/buttons/cmdUtility.svg"),
                               QStringLiteral("Utility DB"), twips(1560, 120, 615, 615));
    cmdBookmark = pictureButton(this, QStringLiteral("cmdBookmark"), QStringLiteral(":/buttons/cmdBookmark.svg"),
                                QStringLiteral("Imposta o elimina bookmark"), twips(2280, 120, 615, 615));
    cmdOpenNewDB = pictureButton(this, QStringLiteral("cmdOpenNewDB"), QStringLiteral(":/buttons/cmdOpenNewDB.svg"),
                                 QStringLiteral("Apre un altro DB"), twips(3000, 120, 615, 615));
    cmdInviaTips = pictureButton(this, QStringLiteral("cmdInviaTips"), QStringLiteral(":/buttons/cmdInviaTips.svg"),
                                 QStringLiteral("Invia Tips..."), twips(3720, 120, 615, 615));

    // Raised and pressed pictures of the always-on-top switch.
    QIcon pin;
    pin.addFile(QStringLiteral(":/buttons/chkTopMost-raised.svg"), {}, QIcon::Normal, QIcon::Off);
    pin.addFile(QStringLiteral(":/buttons/chkTopMost-pressed.svg"), {}, QIcon::Normal, QIcon::On);
    chkTopMost = pictureButton(this, QStringLiteral("chkTopMost"), QString(),
                               QStringLiteral("Finestra sempre in primo piano"), twips(4440, 120, 615, 615));
    chkTopMost->setIcon(pin);
    chkTopMost->setCheckable(true);

    cmdAbout = pictureButton(this, QStringLiteral("cmdAbout"), QStringLiteral(":/buttons/cmdAbout.svg"),
                             QStringLiteral("Informazioni..."), twips(5160, 120, 615, 615));
    cmdClose = pictureButton(this, QStringLiteral("cmdClose"), QStringLiteral(":/buttons/cmdClose.svg"),
                             QStringLiteral("Esci"), twips(6240, 120, 615, 615));
}

void frmTips::buildRecordArea() {
    const QFont boxFont = qn::ui::ListFont();
    lblLabels[0] = label(this, QStringLiteral("lblLabels(0)"), QStringLiteral("Titolo"), twips(120, 1005, 555, 255));
    // The title list lies under the title box; only its drop-down button shows at the right.
    cboTitoli = combo(this, QStringLiteral("cboTitoli"), false, QStringLiteral("Elenco titoli"),
                      twips(960, 960, 5895, 345));
    cboTitoli->setEnabled(false);
    qn::ui::TitlesOf(cboTitoli);
    txtLine[0] = lineBox(this, QStringLiteral("txtdb(0)"), QStringLiteral("Titolo"), twips(960, 960, 5625, 345));
    txtLine[0]->setFont(boxFont);

    lblLabels[1] = label(this, QStringLiteral("lblLabels(1)"), QStringLiteral("Procedura"), twips(120, 1350, 915, 255));
    imgBookmark = label(this, QStringLiteral("imgBookmark"), QString(), twips(6600, 1320, 225, 210));
    imgBookmark->setPixmap(qn::ui::Picture(QStringLiteral(":/pictures/bookmark-mark.svg"), imgBookmark->size()));
    imgBookmark->setScaledContents(true);
    imgBookmark->hide();

    txtProcedura = new QPlainTextEdit(this);
    txtProcedura->setObjectName(QStringLiteral("txtdb(1)"));
    txtProcedura->setGeometry(twips(105, 1560, 6750, 3135));
    txtProcedura->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtProcedura->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtProcedura->setTabChangesFocus(true);
    txtProcedura->setAccessibleName(QStringLiteral("Procedura"));
    txtProcedura->setFont(boxFont);
    qn::ui::KeepWrappingLinear(txtProcedura);

    Label3 = label(this, QStringLiteral("Label3"), QStringLiteral("Note"), twips(120, 4845, 495, 255));
    txtLine[4] = lineBox(this, QStringLiteral("txtdb(4)"), QStringLiteral("Note"), twips(990, 4800, 5865, 330));
    txtLine[4]->setFont(boxFont);

    lblCategoria = label(this, QStringLiteral("lblCategoria"), QStringLiteral("Categoria"), twips(120, 5265, 885, 255));
    txtLine[2] = lineBox(this, QStringLiteral("txtdb(2)"), QStringLiteral("Categoria"), twips(990, 5220, 2205, 315));
    cboInsertCategoria = combo(this, QStringLiteral("cboInsertCategoria"), true, QStringLiteral("Categoria"),
                               twips(990, 5220, 2205, 330));
    cboInsertCategoria->hide();

    Label2 = label(this, QStringLiteral("Label2"), QStringLiteral("Chiave ricerca"), twips(3480, 5265, 1335, 255));
    txtLine[3] = lineBox(this, QStringLiteral("txtdb(3)"), QStringLiteral("Chiave ricerca"), twips(4755, 5220, 2085, 315));
    cboInsertKey = combo(this, QStringLiteral("cboInsertKey"), true, QStringLiteral("Chiave ricerca"),
                         twips(4755, 5220, 2100, 330));
    cboInsertKey->hide();

    // The lists lie above the boxes they cover; the title box above the title list.
    cboInsertCategoria->raise();
    cboInsertKey->raise();
    txtLine[0]->raise();
    imgBookmark->raise();
}

void frmTips::buildSearchPanel() {
    picSearch = new QWidget(this);
    picSearch->setObjectName(QStringLiteral("picSearch"));
    picSearch->setGeometry(twips(0, 5760, 6975, 630));

    Label1 = label(picSearch, QStringLiteral("Label1"), QStringLiteral("Ricerca per..."), twips(570, 0, 1335, 255));
    cboSelectResearch = combo(picSearch, QStringLiteral("cboSelectResearch"), false, QStringLiteral("Ricerca per..."),
                              twips(240, 240, 2295, 330));
    imgFreccia = label(picSearch, QStringLiteral("imgFreccia"), QString(), twips(2595, 240, 465, 300));
    imgFreccia->setScaledContents(true);
    imgFreccia->setPixmap(qn::ui::ArrowFrame(1, imgFreccia->size()));
    lblSearchDescription = label(picSearch, QStringLiteral("lblSearchDescription"),
                                 QStringLiteral("Digita la parola da ricercare"), twips(3435, 0, 2910, 255));
    cboGenericFind = combo(picSearch, QStringLiteral("cboGenericFind"), false, QStringLiteral("Voce da ricercare"),
                           twips(3120, 240, 3060, 330));
    cboGenericFind->hide();
    cboFindCategoria = combo(picSearch, QStringLiteral("cboFindCategoria"), false,
                             QStringLiteral("Categoria da ricercare"), twips(3120, 240, 3060, 330));
    txtFindTxt = lineBox(picSearch, QStringLiteral("txtFindTxt"), QStringLiteral("Parola da ricercare"),
                         twips(3120, 240, 3060, 315));
    txtFindTxt->hide();
    cmdSearch = pictureButton(picSearch, QStringLiteral("cmdSearch"), QStringLiteral(":/buttons/cmdSearch.svg"),
                              QStringLiteral("Inizia la ricerca"), twips(6360, 120, 495, 450));
    cmdSearch->hide();

    auto* image4 = decoration<QLabel>(picSearch, QStringLiteral("Image4"), twips(240, 0, 255, 255));
    auto* image5 = decoration<QLabel>(picSearch, QStringLiteral("Image5"), twips(3120, 0, 255, 255));
    image4->setPixmap(qn::ui::Picture(QStringLiteral(":/pictures/search-type.svg"), image4->size()));
    image5->setPixmap(qn::ui::Picture(QStringLiteral(":/pictures/search-value.svg"), image5->size()));
}

void frmTips::buildWorkPanel() {
    picWorkButton = new QWidget(this);
    picWorkButton->setObjectName(QStringLiteral("picWorkButton"));
    picWorkButton->setGeometry(twips(0, 5760, 6975, 630));
    picWorkButton->hide();

    struct ToolDef {
        int index, left;
        const char* caption;
        const char* tip;
        const char* picture;
    };
    // Modifica (4) stands to the left of Annulla (3).
    static constexpr ToolDef tools[] = {
        {0, 240, "&Nuovo", "Nuovo record", ":/buttons/cmdTool0-new.svg"},
        {1, 1590, "&Salva", "Salva record e/o modifiche", ":/buttons/cmdTool1-save.svg"},
        {2, 2940, "&Elimina", "Elimina record", ":/buttons/cmdTool2-delete.svg"},
        {4, 4290, "&Modifica", "Modifica record", ":/buttons/cmdTool4-edit.svg"},
        {3, 5640, "&Annulla", "Annulla operazione", ":/buttons/cmdTool3-cancel.svg"},
    };
    for (const ToolDef& t : tools) {
        auto* b = pictureButton(picWorkButton, QStringLiteral("cmdTool(%1)").arg(t.index), QString::fromLatin1(t.picture),
                                QString::fromUtf8(t.tip), twips(t.left, 0, 1020, 615));
        b->setText(QString::fromUtf8(t.caption));
        b->setIconSize(QSize(18, 18));
        cmdTool[t.index] = b;
    }
    cmdTool[1]->setEnabled(false);
    cmdTool[3]->setEnabled(false);
}

void frmTips::buildNavigation() {
    cmdSposta[0] = pictureButton(this, QStringLiteral("cmdSposta(0)"), QStringLiteral(":/buttons/cmdSposta0-first.svg"),
                                 QStringLiteral("Primo record"), twips(240, 6600, 660, 375));
    cmdSposta[1] = pictureButton(this, QStringLiteral("cmdSposta(1)"), QStringLiteral(":/buttons/cmdSposta1-previous.svg"),
                                 QStringLiteral("Record precedente"), twips(960, 6600, 900, 375));
    cmdSposta[2] = pictureButton(this, QStringLiteral("cmdSposta(2)"), QStringLiteral(":/buttons/cmdSposta2-next.svg"),
                                 QStringLiteral("Record successivo"), twips(5160, 6600, 900, 390));
    cmdSposta[3] = pictureButton(this, QStringLiteral("cmdSposta(3)"), QStringLiteral(":/buttons/cmdSposta3-last.svg"),
                                 QStringLiteral("Ultimo record"), twips(6120, 6600, 660, 375));
    for (QPushButton* b : cmdSposta)
        b->setIconSize(QSize(16, 16));

    lblNumRecord = label(this, QStringLiteral("lblNumRecord"), QString(), twips(2040, 6660, 3015, 390));
    lblNumRecord->setAlignment(Qt::AlignCenter);
    lblNumRecord->setToolTip(QStringLiteral("Alterna la modalità modifica/ricerca"));
    lblNumRecord->setCursor(qn::ui::PictureCursor(QStringLiteral(":/cursors/counter.svg"), QPoint(16, 16)));
}

void frmTips::setTabOrder() {
    // Record area first, in the order a record is typed in: title, procedure, note, category,
    // search key, then Salva; then the rest of the window.
    const std::initializer_list<QWidget*> order = {
        cmdTool[0], txtLine[0], txtProcedura, txtLine[4], cboInsertCategoria, cboInsertKey,
        cmdTool[1], cmdTool[3], cmdTool[4], cmdTool[2], txtLine[2], cmdClose,
        cmdSposta[3], cmdSposta[2], cmdSposta[1], cmdSposta[0], txtLine[3],
        cboSelectResearch, cboGenericFind, cboFindCategoria, txtFindTxt, cmdSearch,
        optWork[0], optWork[1], cboTitoli,
        cmdUtility, cmdBookmark, cmdOpenNewDB, cmdInviaTips, chkTopMost, cmdAbout};
    QWidget* previous = nullptr;
    for (QWidget* w : order) {
        if (previous)
            QWidget::setTabOrder(previous, w);
        previous = w;
    }
}
