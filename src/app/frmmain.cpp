// SPDX-License-Identifier: GPL-3.0-or-later
#include "frmmain.h"

#include "characterlist.h"
#include "cursorfile.h"
#include "dialogs.h"
#include "fileerror.h"
#include "fileops.h"
#include "movieplayer.h"
#include "picturebutton.h"
#include "search.h"
#include "searchbox.h"
#include "staging.h"
#include "stepping.h"
#include "textfile.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QStyle>

namespace {

const QString kaiFace = QStringLiteral("楷体_GB2312");
const QString prompt = QStringLiteral("索引");

// The layout is laid out in twips; 15 twips make one pixel.
QRect twips(int left, int top, int width, int height)
{
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

QFont kaiFont(qreal points)
{
    QFont font(kaiFace);
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}

QString quoted(const QString &c)
{
    return QStringLiteral("“") + c + QStringLiteral("”");
}

} // namespace

frmMain::frmMain(const AppFolder &folder, MoviePlayer &player, Dialogs &dialogs, QWidget *parent)
    : QWidget(parent), m_folder(folder), m_player(player), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("frmMain"));
    buildLayout();
    connectHandlers();
}

void frmMain::buildLayout()
{
    setWindowTitle(QStringLiteral("Zorvina"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(701, 531);
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/zorvina-32.png"));
    icon.addFile(QStringLiteral(":/icons/zorvina-16.png"));
    // The desktop's icon theme may hold the same picture at more sizes.
    setWindowIcon(QIcon::fromTheme(QStringLiteral(ZORVINA_APP_ID), icon));
    QPalette surface = palette();
    surface.setColor(QPalette::Window, QColor(255, 192, 128));
    setPalette(surface);
    setAutoFillBackground(true);
    setMouseTracking(true);

    // No font on this system goes by the Windows name of the Kai face.
    QFont::insertSubstitution(kaiFace, QStringLiteral("AR PL UKai CN"));
    QPalette field = palette();
    field.setColor(QPalette::Base,
                   QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight));
    field.setColor(QPalette::Text, QColor(255, 0, 0));

    List1 = new CharacterList(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setGeometry(twips(120, 960, 1455, 6780));
    List1->setFont(kaiFont(42));
    List1->setPalette(field);

    objSh = m_player.widget();
    objSh->setParent(this);
    objSh->setObjectName(QStringLiteral("objSh"));
    objSh->setGeometry(twips(1680, 120, 8655, 6735));

    txtInput = new SearchBox(prompt, this);
    txtInput->setObjectName(QStringLiteral("txtInput"));
    txtInput->setGeometry(twips(120, 120, 1455, 705));
    txtInput->setFont(kaiFont(26.25));
    txtInput->setPalette(field);

    const QColor buttonFace(255, 128, 255);
    const auto makeButton = [&](const char *name, const QString &picture, int left) {
        auto *button = new PictureButton(QPixmap(picture), this);
        button->setObjectName(QLatin1String(name));
        button->setGeometry(twips(left, 7080, 1455, 735));
        QPalette face = button->palette();
        face.setColor(QPalette::Button, buttonFace);
        button->setPalette(face);
        return button;
    };
    cmdUp = makeButton("cmdUp", QStringLiteral(":/buttons/up.png"), 3000);
    cmdClose = makeButton("cmdClose", QStringLiteral(":/buttons/close.png"), 8640);
    cmdDown = makeButton("cmdDown", QStringLiteral(":/buttons/down.png"), 4560);
    // Centred in the strip of bare window between the next and close buttons.
    cmdWrite = makeButton("cmdWrite", QStringLiteral(":/buttons/write.png"), 6600);
    cmdWrite->setToolTip(QStringLiteral("写一写"));
    cmdWrite->setCheckable(true);

    setTabOrder(List1, objSh);
    setTabOrder(objSh, txtInput);
    setTabOrder(txtInput, cmdUp);
    setTabOrder(cmdUp, cmdClose);
    setTabOrder(cmdClose, cmdDown);
    setTabOrder(cmdDown, cmdWrite);
}

void frmMain::connectHandlers()
{
    for (QWidget *control : {static_cast<QWidget *>(List1), List1->viewport(),
                             static_cast<QWidget *>(cmdUp), static_cast<QWidget *>(cmdDown),
                             static_cast<QWidget *>(cmdWrite), static_cast<QWidget *>(cmdClose)}) {
        control->setMouseTracking(true);
        control->installEventFilter(this);
    }
    connect(List1, &CharacterList::itemChosen, this, &frmMain::List1_Click);
    connect(cmdUp, &QAbstractButton::clicked, this, &frmMain::cmdUp_Click);
    connect(cmdDown, &QAbstractButton::clicked, this, &frmMain::cmdDown_Click);
    connect(cmdWrite, &QAbstractButton::clicked, this, &frmMain::cmdWrite_Click);
    connect(cmdClose, &QAbstractButton::clicked, this, &QWidget::close);
    connect(txtInput, &QLineEdit::textChanged, this, &frmMain::txtInput_Change);
}

void frmMain::load()
{
    const CursorImage pointer = readCursorFile(m_folder.pointer());
    m_customPointer =
        QCursor(QPixmap::fromImage(pointer.image), pointer.hotspot.x(), pointer.hotspot.y());

    List1->addItems(readCharacterList(m_folder.characterList()));

    removeLeftoverSaves(m_folder.rememberedCharacter());
    QString remembered;
    try {
        remembered = readFirstLine(m_folder.rememberedCharacterToRead());
    } catch (const FileError &) {
        // A first run, or a lost file: start with nothing remembered.
    }
    List1->selectText(remembered);
    refreshWriteButton();

    setGeometry(placement(size(), screen()->availableGeometry()));
    List1->setFocus();
    m_state = State::Running;
}

QRect frmMain::placement(const QSize &window, const QRect &available)
{
    QRect placed = QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window, available);
    placed.moveLeft(qMax(placed.left(), available.left()));
    placed.moveTop(qMax(placed.top(), available.top()));
    return placed;
}

void frmMain::PlayMyFile()
{
    stageAndLoad(m_folder, List1->currentText(), m_player);
    refreshWriteButton();
}

void frmMain::refreshWriteButton()
{
    cmdWrite->setEnabled(!List1->currentText().isEmpty() && m_player.canPractise());
    showPractising(m_player.isPractising());
}

void frmMain::showPractising(bool practising)
{
    cmdWrite->setChecked(practising);
}

void frmMain::List1_Click()
{
    PlayMyFile();
}

void frmMain::cmdUp_Click()
{
    List1->setCurrentRow(previousIndex(List1->currentRow()));
}

void frmMain::cmdDown_Click()
{
    List1->setCurrentRow(nextIndex(List1->currentRow(), List1->count()));
}

void frmMain::cmdWrite_Click()
{
    m_player.setPractising(!m_player.isPractising());
    // The click toggled the button already; the player has the last word.
    showPractising(m_player.isPractising());
}

void frmMain::txtInput_Change()
{
    const QString text = txtInput->text();
    if (search(*List1, text) != SearchResult::NotInList)
        return;
    m_dialogs.showMessage(this, QStringLiteral("◆◆◆对不起，") + quoted(text) +
                                    QStringLiteral("不在本系统内，请选择其它汉字◆◆◆"));
    txtInput->clear();
    txtInput->setFocus(Qt::OtherFocusReason);
}

void frmMain::closeEvent(QCloseEvent *event)
{
    if (m_state == State::Running)
        unload(true);
    event->accept();
}

void frmMain::unloadQuietly()
{
    if (m_state == State::Running)
        unload(false);
}

namespace {

// An empty character is never quoted: the child simply chose none.
QString goodbyeMessage(const QString &c)
{
    const QString thanks = QStringLiteral("，谢谢使用，祝你玩得开心！！");
    if (c.isEmpty())
        return QStringLiteral("你本次没有选择要学习的字") + thanks;
    return QStringLiteral("计算机已经记住你本次最后学习的字是：") + quoted(c) + thanks;
}

QString notRememberedMessage(const QString &c)
{
    if (c.isEmpty())
        return QStringLiteral("你本次没有选择要学习的字，但计算机没能记下这一点。");
    return QStringLiteral("对不起，计算机没能记住你本次最后学习的字") + quoted(c) +
           QStringLiteral("。");
}

} // namespace

void frmMain::unload(bool sayGoodbye)
{
    m_state = State::Unloading;
    const QString c = List1->currentText();
    try {
        m_folder.makeWritingFolders();
        writeSingleLine(m_folder.rememberedCharacter(), c);
        if (sayGoodbye)
            m_dialogs.showMessage(this, goodbyeMessage(c));
    } catch (const FileError &error) {
        // Claiming the character was remembered would be untrue.
        if (sayGoodbye)
            m_dialogs.showMessage(this,
                                  notRememberedMessage(c) + QStringLiteral("\n") + error.message());
    }
    clearPlayingFolder(m_folder);
    m_state = State::Ended;
}

void frmMain::setPointer(int setting)
{
    m_pointerSetting = setting;
    if (setting == 99) {
        if (QGuiApplication::overrideCursor())
            QGuiApplication::changeOverrideCursor(m_customPointer);
        else
            QGuiApplication::setOverrideCursor(m_customPointer);
    } else if (QGuiApplication::overrideCursor()) {
        QGuiApplication::restoreOverrideCursor();
    }
}

void frmMain::mouseMoveEvent(QMouseEvent *event)
{
    // Moves over controls that do not track the mouse arrive here too; only
    // the bare window surface turns the pointer back.
    if (!childAt(event->position().toPoint()))
        setPointer(0);
    QWidget::mouseMoveEvent(event);
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseMove)
        setPointer(99);
    return QWidget::eventFilter(watched, event);
}
