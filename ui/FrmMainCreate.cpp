// The controls and menus of the main window, at the places of its layout.
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>

#include "AccessibleFactory.h"
#include "Announcer.h"
#include "AppIcons.h"
#include "ButtonKeys.h"
#include "FrmMain.h"
#include "ProgressBarView.h"
#include "ScanCounts.h"
#include "Shape.h"
#include "Twips.h"
#include "ValueLabel.h"

namespace {

const QColor kLightGrey(192, 192, 192);
const QColor kLineGrey(128, 128, 128);
// The system colour of an active window's border, as Windows has it by default.
const QColor kActiveBorder(212, 208, 200);

QLabel* AddLabel(QWidget* parent, const char* name, const QString& text, const QRect& place,
                 Qt::Alignment alignment, bool sunken = false, QLabel* label = nullptr) {
  if (!label) label = new QLabel(parent);
  label->setText(text);
  label->setObjectName(name);
  label->setGeometry(place);
  label->setAlignment(alignment | Qt::AlignVCenter);
  label->setTextFormat(Qt::PlainText);
  if (sunken) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  return label;
}

QPushButton* AddButton(QWidget* parent, const char* name, const QString& text, const QRect& place) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setGeometry(place);
  button->setAutoDefault(false);  // the window has no default (Enter) or cancel button
  return button;
}

QGroupBox* AddFrame(QWidget* parent, const char* name, const QString& title, const QRect& place) {
  auto* frame = new QGroupBox(title, parent);
  frame->setObjectName(name);
  frame->setGeometry(place);
  return frame;
}

// A one-pixel line from (x1, y1) to (x2, y2), which are in twips; lines run straight.
void AddLine(QWidget* parent, const char* name, int x1, int y1, int x2, int y2,
             const QColor& colour) {
  QRect place = x1 == x2 ? QRect(Px(x1), Px(std::min(y1, y2)), 1, Px(std::abs(y2 - y1)))
                         : QRect(Px(std::min(x1, x2)), Px(y1), Px(std::abs(x2 - x1)), 1);
  new Shape(parent, name, place, colour, std::nullopt);
}

}  // namespace

void FrmMain::CreateControls() {
  InstallAccessibleFactory();
  auto* client = new QWidget(this);
  client->setObjectName("client");
  client->setFixedSize(Px(11835), Px(2895));
  client->setFont(QFont("Courier New", 9, QFont::Bold));
  QPalette palette = client->palette();
  palette.setColor(QPalette::Window, kLightGrey);
  palette.setColor(QPalette::Button, kLightGrey);
  client->setPalette(palette);
  client->setAutoFillBackground(true);
  setCentralWidget(client);

  // Engraved rules: a grey line with a white twin beside it; drawn below the controls.
  AddLine(client, "Line1", 120, 1440, 7080, 1440, kLineGrey);
  AddLine(client, "Line2", 120, 1460, 7080, 1460, Qt::white);
  AddLine(client, "Line6", 120, 2740, 7080, 2740, kLineGrey);
  AddLine(client, "Line5", 120, 2760, 7080, 2760, Qt::white);
  AddLine(client, "Line3", 120, 900, 120, 2760, kLineGrey);
  AddLine(client, "Line4", 135, 2760, 135, 720, Qt::white);

  QGroupBox* frame2 = AddFrame(client, "Frame2", "Status...", TwipsRect(120, 0, 6975, 975));
  Label1 = AddLabel(frame2, "Label1", QString(), TwipsRect(120, 240, 6735, 615), Qt::AlignLeft);
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Label1->setWordWrap(true);  // a long path wraps at its blanks; what does not fit is cut off
  // The style draws the frame's line below its title, which may reach into the path's place:
  // the path begins below that line.
  Label1->setContentsMargins(0, std::max(0, frame2->contentsRect().top() - Label1->y()), 0, 0);

  AddLabel(client, "Label2", "Analysis", TwipsRect(120, 1080, 6975, 255), Qt::AlignHCenter);
  Command7 = AddButton(client, "Command7", "Start analysis only", TwipsRect(4680, 1080, 2295, 310));
  AddLabel(client, "Label3", QString(" %1:").arg(duskmend::kLightsCaption),
           TwipsRect(240, 1560, 2295, 310), Qt::AlignLeft, true);
  Label5 = new ValueLabel(client, duskmend::kLightsCaption);
  AddLabel(client, "Label5", QString(), TwipsRect(2520, 1560, 975, 310), Qt::AlignHCenter, true,
           Label5);
  AddLabel(client, "Label4", QString(" %1:").arg(duskmend::kSectorsCaption),
           TwipsRect(3720, 1560, 2295, 315), Qt::AlignLeft, true);
  Label6 = new ValueLabel(client, duskmend::kSectorsCaption);
  AddLabel(client, "Label6", QString(), TwipsRect(6000, 1560, 975, 315), Qt::AlignHCenter, true,
           Label6);
  QLabel* warning =
      AddLabel(client, "Label7", "Make a backup of your worldsave before using this program!",
               TwipsRect(240, 2040, 6735, 255), Qt::AlignHCenter);
  QPalette red = warning->palette();
  red.setColor(QPalette::WindowText, Qt::red);
  warning->setPalette(red);

  const QColor text = client->palette().color(QPalette::WindowText);
  bar_ = new ProgressBarView(client, TwipsRect(240, 2400, 6735, 255), kActiveBorder, text);
  bar_->setAccessibleName("Progress");

  QGroupBox* frame1 =
      AddFrame(client, "Frame1", "Button control...", TwipsRect(7080, 0, 4695, 2775));
  Command1 = AddButton(frame1, "Command1", "Open &Sphereworld.scp", TwipsRect(120, 360, 4455, 310));
  Command3 =
      AddButton(frame1, "Command3", "&Remove all Local Lights", TwipsRect(120, 1320, 4455, 310));
  Command4 =
      AddButton(frame1, "Command4", "&Change all Local Lights", TwipsRect(120, 1800, 4455, 310));
  Command5 = AddButton(frame1, "Command5", "&About...", TwipsRect(120, 2280, 2175, 310));
  Command6 = AddButton(frame1, "Command6", "E&xit", TwipsRect(2400, 2280, 2175, 310));
  // The top-level menu entry "&About..." shares Alt+A; two widgets with one mnemonic make an
  // ambiguous shortcut that only moves the focus, so the menu entry alone takes the key.
  Command5->setShortcut(QKeySequence());

  buttonKeys_ = new ButtonKeys(this);
  announcer_ = new Announcer(client);
  for (QPushButton* button : {Command1, Command3, Command4, Command5, Command6, Command7})
    buttonKeys_->Watch(button);

  QWidget::setTabOrder(Command1, Command3);
  QWidget::setTabOrder(Command3, Command4);
  QWidget::setTabOrder(Command4, Command5);
  QWidget::setTabOrder(Command5, Command6);
  QWidget::setTabOrder(Command6, Command7);
}

void FrmMain::CreateMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  file->setObjectName("m_file");
  mf_open = file->addAction("&Open Sphereworld.scp");
  mf_open->setObjectName("mf_open");
  file->addSeparator()->setObjectName("mf_n1");
  mf_exit = file->addAction("E&xit");
  mf_exit->setObjectName("mf_exit");

  QMenu* edit = menuBar()->addMenu("&Edit");
  edit->setObjectName("m_edit");
  me_removesse = edit->addAction("Remove all Local Light entries");
  me_removesse->setObjectName("me_removesse");
  me_changesse = edit->addAction("Change all Local Light entries...");
  me_changesse->setObjectName("me_changesse");

  m_about = menuBar()->addAction("&About...");  // a top-level entry: runs at once
  m_about->setObjectName("m_about");
}

void FrmMain::ConnectCommands() {
  connect(Command1, &QPushButton::clicked, this, &FrmMain::Command1_Click);
  connect(mf_open, &QAction::triggered, this, &FrmMain::mf_open_Click);
  connect(mf_exit, &QAction::triggered, this, &FrmMain::mf_exit_Click);
  connect(Command7, &QPushButton::clicked, this, &FrmMain::Command7_Click);
  connect(Command3, &QPushButton::clicked, this, &FrmMain::Command3_Click);
  connect(me_removesse, &QAction::triggered, this, &FrmMain::me_removesse_Click);
  connect(Command4, &QPushButton::clicked, this, &FrmMain::Command4_Click);
  connect(me_changesse, &QAction::triggered, this, &FrmMain::me_changesse_Click);
  connect(Command5, &QPushButton::clicked, this, &FrmMain::Command5_Click);
  connect(m_about, &QAction::triggered, this, &FrmMain::m_about_Click);
  connect(Command6, &QPushButton::clicked, this, &FrmMain::Command6_Click);
}
