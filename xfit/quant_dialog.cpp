#include "xfit/quant_dialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "lines/line_data.h"
#include "quant/table_conditions.h"
#include "xfit/fit_quantification.h"

namespace tolvane {

namespace {

constexpr int kTubeIndex = 3;  // after the three sources

QLineEdit* field(QWidget* parent, const char* name, int width) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(name);
  e->setMaximumWidth(width);
  return e;
}

QString number(double value) { return QString::number(value, 'g', 6); }

// A field's text as one word of the conditions file (blanks would split it).
std::string word(const QLineEdit* e) {
  const std::string text = e->text().trimmed().toStdString();
  return text.empty() || text.find_first_of(" \t#") != std::string::npos ? "?" : text;
}

}  // namespace

QuantDialog::QuantDialog(FitQuantState& state, QWidget* parent) : QDialog(parent), state_(state) {
  setObjectName("QuantDialog");
  setWindowTitle("Xfit Quant: wt% by fundamental parameters");

  auto* excitation = new QGroupBox("Excitation", this);
  auto* form = new QFormLayout(excitation);
  Source = new QComboBox(excitation);
  Source->setObjectName("QuantSource");
  Source->addItems({"Fe-55", "Cd-109", "Am-241", "X-ray tube"});
  form->addRow("Source", Source);
  auto* tube = new QHBoxLayout;
  Anode = field(excitation, "QuantAnode", 40);
  Kilovolts = field(excitation, "QuantKv", 50);
  Window = field(excitation, "QuantWindow", 50);
  tube->addWidget(Anode);
  tube->addWidget(new QLabel("kV", excitation));
  tube->addWidget(Kilovolts);
  tube->addWidget(new QLabel("Be µm", excitation));
  tube->addWidget(Window);
  form->addRow("Anode", tube);
  auto* tubeAngles = new QHBoxLayout;
  TubeIn = field(excitation, "QuantTubeIn", 50);
  TubeOut = field(excitation, "QuantTubeOut", 50);
  tubeAngles->addWidget(TubeIn);
  tubeAngles->addWidget(new QLabel("out", excitation));
  tubeAngles->addWidget(TubeOut);
  form->addRow("Tube angles in", tubeAngles);

  auto* sample = new QGroupBox("Sample", this);
  auto* sampleForm = new QFormLayout(sample);
  auto* angles = new QHBoxLayout;
  Incidence = field(sample, "QuantIncidence", 50);
  Takeoff = field(sample, "QuantTakeoff", 50);
  angles->addWidget(Incidence);
  angles->addWidget(new QLabel("out", sample));
  angles->addWidget(Takeoff);
  sampleForm->addRow("Angles in", angles);
  Balance = field(sample, "QuantBalance", 100);
  Balance->setToolTip("normalise, or an element or formula taken by difference (Fe, O, CH2O)");
  sampleForm->addRow("Balance", Balance);
  Line = new QComboBox(sample);
  Line->setObjectName("QuantLine");
  Line->addItems({"Ka", "Kb", "La"});
  sampleForm->addRow("Line", Line);

  Quantify = new QPushButton("Quantify", this);
  Quantify->setObjectName("QuantQuantify");
  SaveConditions = new QPushButton("Save Conditions", this);
  SaveConditions->setObjectName("QuantSave");
  auto* close = new QPushButton("Close", this);
  ConditionsFile = new QLabel(this);
  ConditionsFile->setObjectName("QuantConditionsFile");

  Results = new QTableWidget(0, 6, this);
  Results->setObjectName("QuantResults");
  Results->setHorizontalHeaderLabels({"Element", "Line", "K-ratio", "wt%", "+/- (3σ)", ""});
  Results->verticalHeader()->hide();
  Results->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Total = new QLabel(this);
  Total->setObjectName("QuantTotal");
  Converged = new QLabel(this);
  Converged->setObjectName("QuantConverged");
  Message = new QLabel(this);
  Message->setObjectName("QuantMessage");
  Message->setWordWrap(true);

  auto* setup = new QHBoxLayout;
  setup->addWidget(excitation);
  setup->addWidget(sample);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Quantify);
  buttons->addWidget(SaveConditions);
  buttons->addStretch();
  buttons->addWidget(close);
  auto* summary = new QHBoxLayout;
  summary->addWidget(Total);
  summary->addStretch();
  summary->addWidget(Converged);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(setup);
  layout->addWidget(ConditionsFile);
  layout->addLayout(buttons);
  layout->addWidget(Results);
  layout->addLayout(summary);
  layout->addWidget(Message);
  resize(560, 480);

  connect(Source, &QComboBox::currentIndexChanged, this, [this] { showTubeFields(); });
  connect(Quantify, &QPushButton::clicked, this, [this] {
    if (applySetup() && requantify) requantify();
  });
  connect(SaveConditions, &QPushButton::clicked, this, [this] {
    if (!applySetup()) return;
    if (state_.TablePath.empty()) {
      Message->setText("No table is loaded: load one with \"Load Std\" to save its conditions beside it.");
      return;
    }
    std::string error;
    const QString path = QString::fromLocal8Bit(conditionsPathFor(state_.TablePath).c_str());
    if (saveTableConditions(state_.TablePath, state_.Conditions, &error))
      Message->setText("Saved " + path);
    else
      Message->setText("Cannot save " + path + ": " + QString::fromLocal8Bit(error.c_str()));
  });
  connect(close, &QPushButton::clicked, this, &QDialog::close);
}

bool QuantDialog::applySetup() {
  std::string settings;
  if (Source->currentIndex() == kTubeIndex) {
    settings += "tube " + word(Anode) + " " + word(Kilovolts) + " " + word(Window) + "\n";
    settings += "tube_angles " + word(TubeIn) + " " + word(TubeOut) + "\n";
  } else {
    const char* names[] = {"fe55", "cd109", "am241"};
    settings += std::string("source ") + names[std::max(0, Source->currentIndex())] + "\n";
  }
  settings += "angles " + word(Incidence) + " " + word(Takeoff) + "\n";
  settings += "balance " + word(Balance) + "\n";
  settings += "line " + Line->currentText().toStdString() + "\n";
  const ConditionsRead read = conditionsWithSettings(state_.Conditions, settings);
  if (!read.conditions) {
    Message->setText("Setup not used: " + QString::fromStdString(read.error));
    return false;
  }
  state_.Conditions = *read.conditions;
  state_.ConditionsError.clear();  // the conditions are now the ones set here
  Message->clear();
  return true;
}

void QuantDialog::showTubeFields() {
  const bool tube = Source->currentIndex() == kTubeIndex;
  for (QLineEdit* e : {Anode, Kilovolts, Window, TubeIn, TubeOut}) e->setEnabled(tube);
}

void QuantDialog::showState() {
  const QuantConditions& c = state_.Conditions;
  const TubeSettings tube = c.tube.value_or(TubeSettings{});
  Source->setCurrentIndex(c.tube ? kTubeIndex : static_cast<int>(c.source.value_or(Radionuclide::Fe55)));
  Anode->setText(QString::fromStdString(elementSymbol(tube.anodeZ)));
  Kilovolts->setText(number(tube.kilovolts));
  Window->setText(number(tube.windowUm));
  TubeIn->setText(number(tube.electronAngleDeg));
  TubeOut->setText(number(tube.takeoffAngleDeg));
  Incidence->setText(number(c.geometry.incidenceDeg));
  Takeoff->setText(number(c.geometry.takeoffDeg));
  Balance->setText(QString::fromStdString(c.balance));
  Line->setCurrentText(lineGroupName(c.line));
  showTubeFields();
  ConditionsFile->setText(state_.TablePath.empty()
                              ? QString("No table loaded")
                              : "Conditions: " + QString::fromLocal8Bit(conditionsPathFor(state_.TablePath).c_str()));

  const FitQuantification& last = state_.Last;
  Results->setRowCount(0);
  Total->clear();
  Converged->clear();
  if (!state_.ConditionsError.empty())
    Message->setText("The conditions file cannot be used (the defaults are shown): " +
                     QString::fromLocal8Bit(state_.ConditionsError.c_str()));
  else
    Message->setText(QString::fromLocal8Bit(last.error.c_str()));
  if (!last.result) return;
  const QuantResult& r = *last.result;
  Results->setRowCount(static_cast<int>(r.elements.size()));
  for (int row = 0; row < Results->rowCount(); ++row) {
    const QuantElementResult& e = r.elements[static_cast<size_t>(row)];
    const auto set = [&](int column, const QString& text) { Results->setItem(row, column, new QTableWidgetItem(text)); };
    set(ElementColumn, QString::fromStdString(elementSymbol(e.z)));
    set(LineColumn, e.measured ? lineGroupName(e.group) : "");
    set(KratioColumn, e.measured ? QString::number(e.kratio, 'f', 5) : QString());
    set(WtColumn, e.fraction ? QString::number(*e.fraction * 100.0, 'f', 3) : QString("not excited"));
    set(ErrorColumn, e.fraction ? QString::number(e.fractionError * 100.0, 'f', 3) : QString());
    set(NoteColumn, e.byDifference ? "by difference" : (e.measured && !e.excited ? "not in the total" : ""));
  }
  Results->resizeColumnsToContents();
  Total->setText(QString("Total %1 wt%").arg(r.total * 100.0, 0, 'f', 3));
  Converged->setText(r.converged ? QString("converged in %1 iterations").arg(r.iterations)
                                 : QString("NOT converged after %1 iterations").arg(r.iterations));
}

}  // namespace tolvane
