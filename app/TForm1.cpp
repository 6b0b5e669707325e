#include "app/TForm1.h"

#include "framework/Application.h"
#include "framework/Thread.h"
#include "memories/MemoryFile.h"
#include "ui_TForm1.h"

#include <QFile>
#include <QLabel>
#include <QStatusBar>

TForm1* Form1 = nullptr;

TForm1::TForm1() : FileDlg(this), ui_(std::make_unique<Ui::TForm1>()) {
    Form1 = this;
    ui_->setupUi(this);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    setFont(font);

    statusText_ = new QLabel(ui_->StatusBar);
    ui_->StatusBar->addWidget(statusText_, 1);

    Bind(ui_->NewBlankFile1, &TForm1::NewBlankFile1Click);
    Bind(ui_->LoadExistingFile1, &TForm1::LoadExistingFile1Click);
    Bind(ui_->SaveAs1, &TForm1::SaveAs1Click);
    Bind(ui_->ClearAllMemories1, &TForm1::ClearAllMemories1Click);
    FormCreate();
}

TForm1::~TForm1() {
    if (Form1 == this) {
        Form1 = nullptr;
    }
}

void TForm1::Bind(QAction* item, void (TForm1::*handler)()) {
    connect(item, &QAction::triggered, this, [this, handler] {
        try {
            (this->*handler)();
        } catch (...) {
            Application::HandleException();
        }
    });
}

void TForm1::FormCreate() {
    headerLabels_ = BuildHeaderLabels(ui_->Client);
    BuildMemoryRows(ui_->MemoriesSb, memoryRows_);
}

void TForm1::SetStatusText(const std::string& text) {
    TThread::Synchronize([&] {
        statusText_->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    });
}

QString TForm1::StatusText() const {
    return statusText_->text();
}

void TForm1::ClearAllMemories1Click() {
    for (int number = 1; number <= MemoryCount; ++number) {
        memoryRows_[static_cast<size_t>(number)]->Clear();
    }
}

void TForm1::NewBlankFile1Click() {
    ClearAllMemories1Click();
}

std::string TForm1::ChosenFileName() const {
    return QFile::encodeName(FileDlg.FileName).toStdString();
}

void TForm1::SaveAs1Click() {
    if (FileDlg.Execute()) {
        SaveMemoryFile(memoryRows_, ChosenFileName(),
                       [this](const std::string& text) { SetStatusText(text); });
    }
}

void TForm1::LoadExistingFile1Click() {
    if (FileDlg.Execute()) {
        LoadMemoryFile(memoryRows_, ChosenFileName(),
                       [this](const std::string& text) { SetStatusText(text); });
    }
}
