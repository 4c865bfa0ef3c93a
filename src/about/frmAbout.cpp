// The About window. Positions are kept in twips, as the window was designed, and converted at
// 15 twips per device-independent pixel.
#include "about/frmAbout.h"

#include "mainwindow/StatementTrap.h"
#include "mainwindow/frmTips_ui.h"

#include <QDesktopServices>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>
#include <utility>

namespace {

constexpr int TwipsPerPixel = 15;

QRect twips(int left, int top, int width, int height) {
    auto px = [](int tw) { return (tw + TwipsPerPixel / 2) / TwipsPerPixel; };
    return {px(left), px(top), px(width), px(height)};
}

QFont captionFont(int pointSize, bool bold) {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    font.setPointSize(pointSize);
    font.setBold(bold);
    return font;
}

// A label of plain text: nothing in it is read as markup.
QLabel* label(QWidget* parent, const QString& name, const QString& text, const QRect& geometry,
              Qt::Alignment alignment = Qt::AlignHCenter | Qt::AlignTop) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setTextFormat(Qt::PlainText);
    l->setText(text);
    l->setGeometry(geometry);
    l->setAlignment(alignment);
    l->setWordWrap(true);
    return l;
}

void setTextColour(QWidget* w, const QColor& colour) {
    QPalette palette = w->palette();
    palette.setColor(QPalette::WindowText, colour);
    w->setPalette(palette);
}

QLabel* picture(QWidget* parent, const QString& name, const QRect& geometry) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setGeometry(geometry);
    l->setAttribute(Qt::WA_TransparentForMouseEvents);
    return l;
}

} // namespace

frmAbout::frmAbout(QWidget* owner) : QDialog(owner) {
    qn::ui::EnsurePictures();
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("Informazioni su.........."));
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;
    // An owner kept above all windows would otherwise cover its own modal window.
    if (owner && owner->window()->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
        flags |= Qt::WindowStaysOnTopHint;
    setWindowFlags(flags);
    setModal(true);
    setFont(captionFont(8, false));
    setFixedSize(twips(0, 0, 5070, 5325).size());
    buildDecorations();
    buildTexts();

    cmdEsci = new QPushButton(QStringLiteral("&Chiudi"), this);
    cmdEsci->setObjectName(QStringLiteral("cmdEsci"));
    cmdEsci->setGeometry(twips(2040, 4830, 1170, 450));
    cmdEsci->setToolTip(QStringLiteral("Esci"));
    cmdEsci->setDefault(true);
    cmdEsci->setFocus();
    connect(cmdEsci, &QPushButton::clicked, this, [this] { cmdEsci_Click(); });
    lblEmail->installEventFilter(this);
    Form_Load();
}

void frmAbout::buildTexts() {
    // The title twice: the grey copy, a pixel down and right and beneath, is its shadow.
    const QRect title = twips(1440, 120, 2775, 375);
    for (int i : {1, 0}) {
        Label1[i] = label(this, QStringLiteral("Label1(%1)").arg(i), QStringLiteral("Quillnote"),
                          title.translated(i, i));
        Label1[i]->setFont(captionFont(14, true));
        Label1[i]->setWordWrap(false);
        setTextColour(Label1[i], i == 0 ? QColor(255, 255, 255) : QColor(128, 128, 128));
    }
    lblVersione =
        label(this, QStringLiteral("lblVersione"), QStringLiteral("Versione"), twips(1470, 495, 2745, 315));
    lblVersione->setFont(captionFont(9, true));

    Label2 = label(this, QStringLiteral("Label2"),
                   QStringLiteral("Un archivio personale dove raccogliere e catalogare i propri tips di "
                                  "programmazione, per ritrovarli in seguito con una ricerca."),
                   twips(120, 1035, 4815, 510));
    lblEmail = label(this, QStringLiteral("lblEmail"), AuthorAddress(), twips(1815, 2040, 2115, 225));
    lblEmail->setWordWrap(false);
    lblEmail->setAccessibleName(AuthorAddress());
    setTextColour(lblEmail, QColor(0, 0, 255));
    Label6 = label(this, QStringLiteral("Label6"),
                   QStringLiteral("Il database utilizzato dal programma è in formato Microsoft ® Access 97. "
                                  "Per il corretto funzionamento del programma occorre siano presenti i "
                                  "files di Microsoft Jet Database Engine 3.51"),
                   twips(120, 2460, 4815, 690));
    Label5 = label(this, QStringLiteral("Label5"),
                   QStringLiteral("Applicazione a 32 bit per Windows ® 9x /ME/NT/XP"),
                   twips(120, 3270, 4815, 255));
    lblWarning = label(this, QStringLiteral("lblWarning"), QString(), twips(120, 3720, 4815, 975));
    setTextColour(lblWarning, QColor(255, 128, 128));
}

void frmAbout::buildDecorations() {
    auto* shape3 = new QFrame(this);
    shape3->setObjectName(QStringLiteral("Shape3"));
    shape3->setGeometry(twips(60, 60, 4950, 4695));
    shape3->setFrameShape(QFrame::Box);
    shape3->setFrameShadow(QFrame::Sunken);
    // Three etched separators, each a dark line over a light one.
    const int indices[] = {0, 1, 2, 3, 6, 7};
    const int tops[] = {915, 930, 1650, 1665, 2370, 2385};
    for (int i = 0; i < 6; ++i) {
        auto* line = new QFrame(this);
        line->setObjectName(QStringLiteral("Line1(%1)").arg(indices[i]));
        line->setGeometry(twips(120, tops[i], 4830, 15));
        line->setAutoFillBackground(true);
        QPalette palette = line->palette();
        palette.setColor(QPalette::Window, i % 2 == 0 ? QColor(128, 128, 128) : QColor(255, 255, 255));
        line->setPalette(palette);
    }
    Image1 = picture(this, QStringLiteral("Image1"), twips(360, 330, 480, 480));
    imgMylogo = picture(this, QStringLiteral("imgMylogo"), twips(360, 1725, 480, 480));
    Image2 = picture(this, QStringLiteral("Image2"), twips(1545, 2070, 210, 165));
    Image2->setPixmap(qn::ui::Picture(QStringLiteral(":/pictures/mail.svg"), Image2->size()));
}

void frmAbout::Form_Load() {
    Image1->setPixmap(qn::ui::Picture(QStringLiteral(":/icons/201-window.svg"), Image1->size()));
    cmdEsci->setCursor(qn::ui::ButtonCursor());
    lblEmail->setCursor(qn::ui::ButtonCursor());
    imgMylogo->setPixmap(qn::ui::Picture(QStringLiteral(":/icons/202-about.svg"), imgMylogo->size()));
    lblVersione->setText(VersionText());
    lblWarning->setText(QStringLiteral("Attenzione! Questo programma viene fornito ") + QLatin1Char('"') +
                        QStringLiteral("as is") + QLatin1Char('"') +
                        QStringLiteral(" (così com'è) senza nessuna garanzia di funzionamento.") +
                        QLatin1Char('\n') +
                        QStringLiteral("L 'autore non si assume nessuna responsabilità nel caso di  perdite "
                                       "di dati provocate dall'utilizzo di questo programma."));
}

QString frmAbout::AuthorAddress() {
    return QStringLiteral("quillnote@example.org");
}

QString frmAbout::VersionText() {
    return QStringLiteral("Versione %1.%2.%3")
        .arg(QN_VERSION_MAJOR)
        .arg(QN_VERSION_MINOR)
        .arg(QN_VERSION_PATCH);
}

void frmAbout::cmdEsci_Click() {
    done(QDialog::Rejected);
}

void frmAbout::lblEmail_Click() {
    // The subject is taken from the label, so it always names the version shown. QUrl writes its
    // blanks as %20 for the mail program, which shows them as blanks again. Whether a program
    // took the link is not reported: the window closes either way.
    qn::ui::Skip([&] {
        const QString link = QStringLiteral("mailto:") + AuthorAddress() + QStringLiteral("?Subject=") +
                             QStringLiteral("Quillnote") + QLatin1Char(' ') + lblVersione->text();
        QDesktopServices::openUrl(QUrl(link));
    });
    done(QDialog::Accepted);
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblEmail &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease)) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton) return false;
        // A click: pressed and released over the address.
        if (event->type() == QEvent::MouseButtonPress)
            m_emailPressed = true;
        else if (std::exchange(m_emailPressed, false) &&
                 lblEmail->rect().contains(mouse->position().toPoint()))
            lblEmail_Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void frmAbout::keyPressEvent(QKeyEvent* event) {
    // Esc presses the close button, as Enter does, wherever the focus is.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdEsci->click();
        return;
    }
    QDialog::keyPressEvent(event);
}
