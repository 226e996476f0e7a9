// The card's windows against the emulated card and its faults: Card Status
// (toggle, close box, unanswered and refused queries), Adapter Information
// (switch types, one or two terminals, a fresh registry read, product
// versions read when their page opens), the statistics form (zeroing on
// opening and on Reset, live refresh, one logical terminal, a failing
// refresh), and screenshots of the three windows.

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>
#include <fstream>
#include <optional>

#include "adapter/MarloTrcDoc.h"
#include "adapter/ui/AdapterInformation.h"
#include "adapter/ui/CardWindows.h"
#include "adapter/ui/CardWindowsTable.h"
#include "adapter/ui/StatsForm.h"
#include "adapter/ui/StatusSheet.h"
#include "cardsim/Card.h"
#include "platform/MessageBox.h"
#include "tests/support/RecordingMessageBox.h"
#include "tests/support/ScriptedUi.h"

using adapter::CMarloTrcDoc;
using namespace adapter::ui;

namespace {

// Each document's wait for the card and each form's refresh period, short.
constexpr std::chrono::milliseconds kShortResponse{300};
constexpr std::chrono::milliseconds kShortPeriod{40};

QString Value(const QWidget* root, const QString& name) {
    const auto* label = root->findChild<QLabel*>(name);
    return label != nullptr ? label->text() : QStringLiteral("<no %1>").arg(name);
}

// Every value label of a widget by name, to tell whether figures moved.
QMap<QString, QString> Values(const QWidget* root) {
    QMap<QString, QString> values;
    for (const QLabel* label : root->findChildren<QLabel*>())
        if (!label->objectName().isEmpty()) values[label->objectName()] = label->text();
    return values;
}

// Adapter messages with this opcode the card received, for one link or all.
int Requests(const cardsim::Card& card, std::uint32_t opcode, int link = 0) {
    int count = 0;
    for (const auto& m : card.Messages()) {
        if (m.bytes.size() < 16) continue;
        const std::uint32_t op = m.bytes[4] | (m.bytes[5] << 8) | (m.bytes[6] << 16) | (static_cast<std::uint32_t>(m.bytes[7]) << 24);
        if (op == opcode && (link == 0 || m.bytes[13] == link)) ++count;
    }
    return count;
}

// The opcodes of every message the card received, oldest first.
std::vector<std::uint32_t> Opcodes(const cardsim::Card& card) {
    std::vector<std::uint32_t> ops;
    for (const auto& m : card.Messages())
        if (m.bytes.size() >= 8) ops.push_back(m.bytes[4] | (m.bytes[5] << 8));
    return ops;
}

// A message as it was shown, with what stood around it at that moment.
struct Shown {
    std::string text;
    bool statusWindowExisted;
    int statisticsRefresh;
};

}  // namespace

class AdapterUiTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void cardStatusOpensClosesAndRequeries();
    void cardStatusFaults_data();
    void cardStatusFaults();
    void adapterInformation_data();
    void adapterInformation();
    void statisticsZeroOnOpeningAndOnResetAndCountLive();
    void statisticsOfOneTerminalNeverAskLink2();
    void failingRefreshShowsOneMessageAndFreezes_data();
    void failingRefreshShowsOneMessageAndFreezes();
    void ticksInsideAMessageBoxAreDropped();
    void statisticsTexts_data();
    void statisticsTexts();
    void saveDiagnosticsHoldsTheRefresh();
    void closingTheDocumentTakesItsWindows();
    void screenshots();

private:
    bool Open(const std::string& settings, std::optional<int> adapterChoice = std::nullopt);
    CStatsForm* MakeStatsForm();
    // Records every message with the state around it, instead of the recording box.
    void RecordMessages();

    std::unique_ptr<testsupport::ScriptedUi> m_ui;
    std::optional<testsupport::RecordingMessageBox> m_boxes;
    std::vector<Shown> m_shown;
    platform::MessageBoxHandler m_previousHandler;
    bool m_recording = false;
    std::shared_ptr<cardsim::Card> m_card;
    std::unique_ptr<CMarloTrcDoc> m_doc;
    std::unique_ptr<QMainWindow> m_main;
    std::unique_ptr<CCardWindows> m_windows;
    std::unique_ptr<CStatsForm> m_form;
    std::vector<int> m_windowFlags;  // what the form told the main frame
};

void AdapterUiTest::init() {
    m_ui = std::make_unique<testsupport::ScriptedUi>();
    m_boxes.emplace();
    m_shown.clear();
    m_windowFlags.clear();
    m_main = std::make_unique<QMainWindow>();
    m_main->setWindowTitle(QStringLiteral("MarloTrc"));
    m_main->resize(1000, 760);
    m_main->show();
}

void AdapterUiTest::cleanup() {
    // The windows go before their document, the document before the card.
    m_form.reset();
    m_windows.reset();
    m_doc.reset();
    m_main.reset();
    cardsim::UninstallCard();
    m_card.reset();
    if (m_recording) platform::SetMessageBoxHandler(m_previousHandler);
    m_recording = false;
    m_boxes.reset();
    qunsetenv("MARLOTRC_REGISTRY");
}

bool AdapterUiTest::Open(const std::string& settings, std::optional<int> adapterChoice) {
    std::string error;
    auto parsed = cardsim::ParseSettings(settings, &error);
    if (!parsed) {
        qWarning("%s", error.c_str());
        return false;
    }
    m_card = std::make_shared<cardsim::Card>(std::move(*parsed));
    cardsim::InstallCard(m_card);
    if (adapterChoice) m_ui->adapterAnswers.push_back(*adapterChoice);
    m_doc = std::make_unique<CMarloTrcDoc>(*m_ui, kShortResponse);
    if (!m_doc->OnOpenDocument({})) return false;
    m_windows = std::make_unique<CCardWindows>(*m_doc, m_main.get());
    m_card->ClearLog();
    return true;
}

CStatsForm* AdapterUiTest::MakeStatsForm() {
    m_form.reset(m_windows->CreateStatsForm([this](int flag) { m_windowFlags.push_back(flag); }));
    m_form->SetRefreshPeriod(kShortPeriod);
    return m_form.get();
}

void AdapterUiTest::RecordMessages() {
    m_previousHandler = platform::SetMessageBoxHandler([this](const platform::MessageBoxRequest& request) {
        const bool frame = m_main && !m_main->findChildren<CStatusFrame*>().isEmpty();
        m_shown.push_back({request.text, frame, m_windows ? m_windows->Flags().statisticsRefresh : -1});
        return platform::MbResult::Ok;
    });
    m_recording = true;
}

void AdapterUiTest::cardStatusOpensClosesAndRequeries() {
    QVERIFY(Open(""));
    m_windows->ToggleCardStatus();
    QPointer<CStatusFrame> first = m_windows->StatusFrame();
    QVERIFY(first);
    QVERIFY(m_windows->IsCardStatusOpen());
    QVERIFY(first->isVisible());
    QCOMPARE(first->parentWidget(), m_main.get());
    QVERIFY(first->windowFlags().testFlag(Qt::Tool));
    QCOMPARE(first->windowTitle(), QStringLiteral("Card Status"));
    // Not resizable, and centred over the main window.
    QCOMPARE(first->minimumSize(), first->maximumSize());
    QVERIFY((first->frameGeometry().center() - m_main->frameGeometry().center()).manhattanLength() <= 2);

    CStatusSheet* sheet = first->Sheet();
    QCOMPARE(sheet->count(), 3);
    QCOMPARE(sheet->tabText(0), QStringLiteral("Line"));
    QCOMPARE(sheet->tabText(1), QStringLiteral("Link 1"));
    QCOMPARE(sheet->tabText(2), QStringLiteral("Link 2"));
    QCOMPARE(Value(sheet->widget(0), "lineStatus"), QStringLiteral("Layer 3 active for all configured links"));
    QCOMPARE(Value(sheet->widget(0), "receivingSignal"), QStringLiteral("INFO 4"));
    QCOMPARE(Value(sheet->widget(0), "transmittingSignal"), QStringLiteral("INFO 3"));
    for (int page : {1, 2}) {
        QCOMPARE(Value(sheet->widget(page), "layer2State"), QStringLiteral("Multiple frame established"));
        QCOMPARE(Value(sheet->widget(page), "layer3State"), QStringLiteral("Layer 3 active"));
    }
    // One query at creation, of both links.
    QCOMPARE(Requests(*m_card, 0x8800), 1);
    QCOMPARE(Requests(*m_card, 0x8900, 2), 1);

    // The same command again closes it, and the check mark goes.
    m_windows->ToggleCardStatus();
    QVERIFY(first.isNull());
    QVERIFY(!m_windows->IsCardStatusOpen());

    // The close box destroys the window and clears the flag; the next
    // window asks the card again and shows what it says now.
    m_windows->ToggleCardStatus();
    QPointer<CStatusFrame> second = m_windows->StatusFrame();
    QVERIFY(second);
    second->close();
    QTRY_VERIFY(second.isNull());
    QVERIFY(!m_windows->IsCardStatusOpen());
    m_card->SetRefuse({{cardsim::Key(2, 0x8900), 5}});
    m_windows->ToggleCardStatus();
    QVERIFY(m_windows->IsCardStatusOpen());
    QCOMPARE(Requests(*m_card, 0x8800), 3);
    QCOMPARE(Value(m_windows->StatusFrame()->Sheet()->widget(1), "layer2State"),
             QStringLiteral("Unable to determine link state"));
    QCOMPARE(m_boxes->Texts(), std::vector<std::string>{"The card is not responding."});
}

void AdapterUiTest::cardStatusFaults_data() {
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("staysOpen");
    // A time-out is the command client's own message and closes the adapter;
    // a refusal leaves an error text, which the window turns into its message.
    QTest::newRow("line status unanswered") << "unanswered=8800" << "LineGetStatus response timed out" << false;
    QTest::newRow("link status unanswered") << "unanswered=8900" << "LinkGetStatus response timed out" << false;
    QTest::newRow("line status refused") << "refuse=8800:5" << "The card is not responding." << true;
    QTest::newRow("link status refused") << "refuse=8900:5" << "The card is not responding." << true;
}

void AdapterUiTest::cardStatusFaults() {
    QFETCH(QString, settings);
    QFETCH(QString, message);
    QFETCH(bool, staysOpen);
    QVERIFY(Open(settings.toStdString()));
    // A statistics window is refreshing meanwhile: the status query holds it.
    MakeStatsForm()->OnInitialUpdate();
    QCOMPARE(m_windows->Flags().statisticsRefresh, 1);
    RecordMessages();

    m_windows->ToggleCardStatus();

    QCOMPARE(m_shown.size(), std::size_t{1});
    QCOMPARE(QString::fromStdString(m_shown[0].text), message);
    QVERIFY(!m_shown[0].statusWindowExisted);  // the message comes first, then the window
    QCOMPARE(m_shown[0].statisticsRefresh, 0);
    QCOMPARE(m_windows->Flags().statisticsRefresh, 1);
    QCOMPARE(m_doc->IsOpened(), staysOpen);

    // The window shows what the command client left: its initial texts.
    CStatusFrame* frame = m_windows->StatusFrame();
    QVERIFY(frame != nullptr && frame->isVisible());
    QVERIFY(m_windows->IsCardStatusOpen());
    QCOMPARE(Value(frame->Sheet()->widget(0), "lineStatus"), QStringLiteral("Unable to determine status"));
    QCOMPARE(Value(frame->Sheet()->widget(0), "receivingSignal"), QStringLiteral("Unable to determine signal"));
    QCOMPARE(Value(frame->Sheet()->widget(0), "transmittingSignal"), QStringLiteral("Unable to determine signal"));
    for (int page : {1, 2})
        QCOMPARE(Value(frame->Sheet()->widget(page), "layer3State"), QStringLiteral("Unable to determine link state"));
}

void AdapterUiTest::adapterInformation_data() {
    QTest::addColumn<QString>("settings");
    QTest::addColumn<int>("choice");        // entry of the adapter selection, -1: only one adapter
    QTest::addColumn<QString>("registry");  // replaces the registry after opening, when not empty
    QTest::addColumn<QString>("switchType");
    QTest::addColumn<bool>("managementShown");
    QTest::addColumn<QStringList>("link1");  // telephone, SPID
    QTest::addColumn<QStringList>("link2");

    QTest::newRow("AT&T switch, two terminals")
        << "" << -1 << "" << "ATT: AT&T ESS 5" << true << QStringList{"212 - 555 - 1234", "21255512340101"}
        << QStringList{"212 - 555 - 1235", "21255512350101"};
    QTest::newRow("ETSI switch, one terminal")
        << "adapters=2" << 1 << "" << "ETSI: Euro ISDN" << false << QStringList{"302 - 123 - 4567", ""}
        << QStringList{"Not Configured", "Not Configured"};
    // The sheet reads the registry when it is chosen, not when the adapter opened.
    QTest::newRow("registry changed since opening")
        << "" << -1
        << "REGEDIT4\n\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\1]\n"
           "\"VANumber\"=\"1\"\n\n"
           "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\OrinTlan1\\Parameters]\n"
           "\"Line0.SwitchStyle\"=dword:00000005\n"
           "\"Line0.LogicalTerminals\"=dword:00000001\n"
           "\"Line0.LTerm0.SPID\"=\"31255500010101\"\n"
           "\"Line0.LTerm0.DN\"=\"3125550001\"\n"
        << "NI1: National ISDN-1" << false << QStringList{"312 - 555 - 0001", "31255500010101"}
        << QStringList{"212 - 555 - 1235", "21255512350101"};
}

void AdapterUiTest::adapterInformation() {
    QFETCH(QString, settings);
    QFETCH(int, choice);
    QFETCH(QString, registry);
    QFETCH(QString, switchType);
    QFETCH(bool, managementShown);
    QFETCH(QStringList, link1);
    QFETCH(QStringList, link2);
    QVERIFY(Open(settings.toStdString(), choice >= 0 ? std::optional<int>(choice) : std::nullopt));
    QTemporaryDir dir;
    if (!registry.isEmpty()) {
        const QString path = dir.filePath(QStringLiteral("changed.reg"));
        std::ofstream(path.toStdString()) << registry.toStdString();
        qputenv("MARLOTRC_REGISTRY", path.toLocal8Bit());
    }

    struct Seen {
        QString title;
        QStringList tabs;
        bool hasApply = false;
        QMap<QString, QString> configuration;
        bool managementVisible = false;
        QString productBeforeOpening;
        QMap<QString, QString> product;
        bool firmwareVisible = true;
    } seen;
    QTimer::singleShot(0, this, [&seen] {
        auto* sheet = qobject_cast<CAdapterInfoSheet*>(QApplication::activeModalWidget());
        if (sheet == nullptr) return;
        seen.title = sheet->windowTitle();
        for (int i = 0; i < sheet->Tabs()->count(); ++i) seen.tabs << sheet->Tabs()->tabText(i);
        for (const QPushButton* button : sheet->findChildren<QPushButton*>())
            seen.hasApply = seen.hasApply || button->text().contains(QStringLiteral("Apply"));
        seen.configuration = Values(sheet->Tabs()->widget(0));
        seen.managementVisible = sheet->findChild<QLabel*>("terminalManagementLabel")->isVisible() &&
                                 sheet->findChild<QLabel*>("terminalManagement")->isVisible();
        seen.productBeforeOpening = Value(sheet->Tabs()->widget(1), "version1012");
        sheet->Tabs()->setCurrentIndex(1);
        seen.product = Values(sheet->Tabs()->widget(1));
        seen.firmwareVisible = sheet->findChild<QLabel*>("firmwareLabel")->isVisible() ||
                               sheet->findChild<QLabel*>("firmwareVersion")->isVisible();
        sheet->accept();
    });
    m_windows->ShowAdapterInformation();

    QCOMPARE(seen.title, QStringLiteral("Adapter Information"));
    QCOMPARE(seen.tabs, (QStringList{"Configuration Info", "Product Info"}));
    QVERIFY(!seen.hasApply);
    QCOMPARE(seen.configuration["switchType"], switchType);
    QCOMPARE(seen.managementVisible, managementShown);
    if (managementShown) QCOMPARE(seen.configuration["terminalManagement"], QStringLiteral("Enabled"));
    QCOMPARE((QStringList{seen.configuration["number1"], seen.configuration["spid1"]}), link1);
    QCOMPARE((QStringList{seen.configuration["number2"], seen.configuration["spid2"]}), link2);

    // The product files are read when their page opens, not before.
    QCOMPARE(seen.productBeforeOpening, QStringLiteral("3.0.0.0"));
    QCOMPARE(seen.product["version1012"], QStringLiteral("3.0.2.0"));
    QCOMPARE(seen.product["version1210"], QStringLiteral("1.0.0.7"));
    QCOMPARE(seen.product["version1206"], QStringLiteral("1.2.0.4"));
    QCOMPARE(seen.product["version1207"], QStringLiteral("1.2.0.3"));
    QVERIFY(!seen.firmwareVisible);
}

void AdapterUiTest::statisticsZeroOnOpeningAndOnResetAndCountLive() {
    QVERIFY(Open("rate=200"));
    std::string errorText;
    // Traffic before the window opens: the card's counters are not zero.
    QVERIFY(m_doc->EnableTraceControl(errorText));
    QTRY_VERIFY(m_card->Counters(0, 1).inPackets + m_card->Counters(0, 1).outPackets > 0);
    QVERIFY(m_doc->DisableTraceControl(errorText));
    m_card->ClearLog();

    CStatsForm* form = MakeStatsForm();
    form->show();
    QCOMPARE(m_windowFlags, std::vector<int>{1});
    QVERIFY(form->Refresh().IsTimerRunning());
    QCOMPARE(m_windows->Flags().statisticsRefresh, 1);
    // The period given to this form, and a new one at once while it runs.
    QCOMPARE(form->TickTimer()->interval(), int(kShortPeriod.count()));
    form->SetRefreshPeriod(2 * kShortPeriod);
    QCOMPARE(form->TickTimer()->interval(), int(2 * kShortPeriod.count()));
    QVERIFY(form->TickTimer()->isActive());
    form->SetRefreshPeriod(kShortPeriod);
    // Zeroed first (line, link 1, link 2), then read at once.
    std::vector<std::uint32_t> first = Opcodes(*m_card);
    QVERIFY(first.size() >= 4);
    first.resize(4);
    QCOMPARE(first, (std::vector<std::uint32_t>{0x8C00, 0x8E00, 0x8E00, 0x8B00}));
    for (const char* name : {"link1InPackets", "link1OutPackets", "link1InOctets", "link1OutOctets"})
        QCOMPARE(Value(form, name), QStringLiteral("0"));
    QCOMPARE(Value(form, "lineLineType"), QStringLiteral("ISDN S/T Interface"));
    QCOMPARE(Value(form, "link1Type"), QStringLiteral("ISDN signaling"));

    // Live traffic shows on the following ticks.
    QVERIFY(m_doc->EnableTraceControl(errorText));
    QTRY_VERIFY(Value(form, "link1InPackets").toInt() + Value(form, "link1OutPackets").toInt() > 0);
    QVERIFY(m_doc->DisableTraceControl(errorText));

    // Reset zeroes the card; the figures follow at the next tick.
    const int zeroed = Requests(*m_card, 0x8C00);
    form->ResetButton()->click();
    QCOMPARE(Requests(*m_card, 0x8C00), zeroed + 1);
    QCOMPARE(Requests(*m_card, 0x8E00, 2), 2);
    QTRY_COMPARE(Value(form, "link1InPackets"), QStringLiteral("0"));
    QCOMPARE(Value(form, "link1OutPackets"), QStringLiteral("0"));
    QVERIFY(m_boxes->Texts().empty());

    m_form.reset();
    QCOMPARE(m_windowFlags, (std::vector<int>{1, 0}));
    QCOMPARE(m_windows->Flags().statisticsRefresh, 0);
}

void AdapterUiTest::statisticsOfOneTerminalNeverAskLink2() {
    QVERIFY(Open("adapters=2", 1));  // OrinBri2: one logical terminal
    QCOMPARE(m_doc->Configuration().logicalTerminalCount, 1u);
    CStatsForm* form = MakeStatsForm();
    form->show();
    QTRY_VERIFY(Requests(*m_card, 0x8B00) >= 3);
    QCOMPARE(Requests(*m_card, 0x8D00, 2), 0);
    QCOMPARE(Requests(*m_card, 0x8E00, 2), 0);
    QVERIFY(Requests(*m_card, 0x8D00, 1) >= 3);
    // Its group shows the copy it never filled: zeros.
    QCOMPARE(Value(form, "link2InOctets"), QStringLiteral("0"));
    QCOMPARE(Value(form, "link2MTU"), QStringLiteral("0"));
    QCOMPARE(Value(form, "link2LastChanged"), QStringLiteral("0: 0: 0"));
    QCOMPARE(Value(form, "link2Type"), QString());
    QVERIFY(m_boxes->Texts().empty());
}

void AdapterUiTest::failingRefreshShowsOneMessageAndFreezes_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("staysOpen");
    QTest::newRow("line statistics refused") << "refuse" << "TpxLineGetStatistics Response 5" << true;
    QTest::newRow("link statistics unanswered") << "unanswered" << "TpxLinkGetStatistics response timed out" << false;
    // The library's own error: the adapter stays open, and the window stopped.
    QTest::newRow("card unplugged") << "unplug" << "Tpx TpxLineGetStatistics 1167" << true;
}

void AdapterUiTest::failingRefreshShowsOneMessageAndFreezes() {
    QFETCH(QString, fault);
    QFETCH(QString, message);
    QFETCH(bool, staysOpen);
    QVERIFY(Open(""));
    CStatsForm* form = MakeStatsForm();
    form->show();
    QTRY_VERIFY(Requests(*m_card, 0x8B00) >= 2);
    QVERIFY(m_boxes->Texts().empty());

    if (fault == QLatin1String("refuse")) m_card->SetRefuse({{cardsim::Key(2, 0x8B00), 5}});
    if (fault == QLatin1String("unanswered")) m_card->SetUnanswered({cardsim::Key(2, 0x8D00)});
    if (fault == QLatin1String("unplug")) m_card->Unplug();

    QTRY_VERIFY(!form->Refresh().IsTimerRunning());
    const std::vector<std::string> texts = m_boxes->Texts();
    QCOMPARE(texts.size(), std::size_t{1});
    QCOMPARE(QString::fromStdString(texts[0]), message);
    QCOMPARE(m_windows->Flags().statisticsRefresh, 0);
    QCOMPARE(m_doc->IsOpened(), staysOpen);
    QVERIFY(Value(form, "lineLineType") == QStringLiteral("ISDN S/T Interface"));

    // Frozen: a late tick neither asks the card nor changes a figure.
    const QMap<QString, QString> frozen = Values(form);
    const std::size_t asked = m_card->Messages().size();
    form->Refresh().OnTimer();
    QCOMPARE(m_card->Messages().size(), asked);
    QCOMPARE(Values(form), frozen);
    QCOMPARE(m_boxes->Texts().size(), std::size_t{1});
    // Still open with its last figures; Reset does not start it again.
    QVERIFY(form->isVisible());
    if (staysOpen) {
        form->ResetButton()->click();
        QVERIFY(!form->Refresh().IsTimerRunning());
    }
}

// A message box runs its own event loop while the person reads it; the
// timer keeps ticking meanwhile. Those ticks must not start a second
// conversation with the adapter inside the first.
void AdapterUiTest::ticksInsideAMessageBoxAreDropped() {
    // The first refresh runs straight from the window's opening, with the
    // timer already started, and its link query is never answered.
    QVERIFY(Open("unanswered=8D00"));
    CStatsForm* form = MakeStatsForm();
    int askedDuringBox = -1;
    bool ticked = false;
    m_previousHandler = platform::SetMessageBoxHandler([&](const platform::MessageBoxRequest& request) -> platform::MbResult {
        m_shown.push_back({request.text, false, m_windows->Flags().statisticsRefresh});
        const int before = Requests(*m_card, 0x8B00);
        QSignalSpy ticks(form->TickTimer(), &QTimer::timeout);
        // As long as a person takes to read it: several ticks.
        ticked = QTest::qWaitFor([&] { return ticks.count() >= 3; }, 5000);
        askedDuringBox = Requests(*m_card, 0x8B00) - before;
        return platform::MbResult::Ok;
    });
    m_recording = true;

    form->show();

    QVERIFY(!form->Refresh().IsTimerRunning());
    QCOMPARE(m_shown.size(), std::size_t{1});
    QCOMPARE(m_shown[0].text, std::string("TpxLinkGetStatistics response timed out"));
    QVERIFY(ticked);
    QCOMPARE(askedDuringBox, 0);
}

void AdapterUiTest::statisticsTexts_data() {
    QTest::addColumn<int>("lineType");
    QTest::addColumn<int>("linkType");
    QTest::addColumn<quint32>("lastChanged");
    QTest::addColumn<quint32>("inOctets");
    QTest::addColumn<QString>("lineText");
    QTest::addColumn<QString>("linkText");
    QTest::addColumn<QString>("elapsed");
    QTest::addColumn<QString>("octets");
    QTest::newRow("S/T interface, signalling") << 75 << 63 << 366100u << 12u << "ISDN S/T Interface"
                                               << "ISDN signaling" << "1: 1: 1" << "12";
    QTest::newRow("U interface, LAPD, hours wrap at 99") << 76 << 76 << 36000000u << 0xFFFFFFFFu << "ISDN U Interface"
                                                         << "LAPD" << "1: 0: 0" << "-1";
    QTest::newRow("unknown types show nothing") << 74 << 0 << 0u << 0u << "" << "" << "0: 0: 0" << "0";
}

void AdapterUiTest::statisticsTexts() {
    QFETCH(int, lineType);
    QFETCH(int, linkType);
    QFETCH(quint32, lastChanged);
    QFETCH(quint32, inOctets);
    QFETCH(QString, lineText);
    QFETCH(QString, linkText);
    QFETCH(QString, elapsed);
    QFETCH(QString, octets);
    // The form alone, over a snapshot: no card is needed to show figures.
    m_doc = std::make_unique<CMarloTrcDoc>(*m_ui, kShortResponse);
    m_windows = std::make_unique<CCardWindows>(*m_doc, m_main.get());
    CStatsForm* form = MakeStatsForm();
    StatisticsSnapshot snapshot;
    snapshot.line.lineType = static_cast<std::uint8_t>(lineType);
    snapshot.line.lastChanged = lastChanged;
    snapshot.link2.linkType = static_cast<std::uint8_t>(linkType);
    snapshot.link2.lastChanged = lastChanged;
    snapshot.link2.inOctets = inOctets;
    form->SetStatistics(snapshot);
    QCOMPARE(Value(form, "lineLineType"), lineText);
    QCOMPARE(Value(form, "lineLineLastChanged"), elapsed);
    QCOMPARE(Value(form, "link2Type"), linkText);
    QCOMPARE(Value(form, "link2LastChanged"), elapsed);
    QCOMPARE(Value(form, "link2InOctets"), octets);
    QCOMPARE(Value(form, "link1InOctets"), QStringLiteral("0"));
}

void AdapterUiTest::saveDiagnosticsHoldsTheRefresh() {
    QVERIFY(Open("unanswered=8800"));
    MakeStatsForm()->OnInitialUpdate();
    RecordMessages();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("OrinDiag.txt"));
    m_ui->fileAnswers.push_back(std::filesystem::path(path.toStdString()));

    m_windows->SaveDiagnostics();

    QCOMPARE(m_ui->saveRequests.size(), std::size_t{1});
    QVERIFY(m_ui->saveRequests[0].confirmOverwrite);
    QCOMPARE(m_ui->saveRequests[0].initialName, std::string("OrinDiag.txt"));
    // The time-out message showed while the statistics timer was held.
    QCOMPARE(m_shown.size(), std::size_t{2});
    QCOMPARE(m_shown[0].text, std::string("LineGetStatus response timed out"));
    QCOMPARE(m_shown[1].text, "Diagnostics saved to " + path.toStdString() + ".");
    QCOMPARE(m_shown[0].statisticsRefresh, 0);
    QCOMPARE(m_windows->Flags().statisticsRefresh, 1);
    // The report is written with what the query left.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray report = file.readAll();
    QVERIFY(report.startsWith("Registry Information\n"));
    QVERIFY(report.endsWith("Layer 3 Link 2 State: Unable to determine link state"));
}

void AdapterUiTest::closingTheDocumentTakesItsWindows() {
    QVERIFY(Open(""));
    m_windows.reset();
    CCardWindowsTable table;
    table.SetMainWindow(m_main.get());
    std::shared_ptr<CMarloTrcDoc> document = table.Adopt(std::shared_ptr<CMarloTrcDoc>(std::move(m_doc)));
    CCardWindows* windows = table.Find(*document);
    QVERIFY(windows != nullptr);
    QVERIFY(table.Find(CMarloTrcDoc(*m_ui)) == nullptr);
    windows->ToggleCardStatus();
    QPointer<CStatusFrame> frame = windows->StatusFrame();
    QVERIFY(frame);
    QCOMPARE(frame->parentWidget(), m_main.get());
    std::unique_ptr<QWidget> form(table.CreateStatsForm(*document, [](int) {}));
    QVERIFY(form != nullptr);
    form.reset();

    const trace::CDocument* address = document.get();
    document.reset();  // the last owner: the document closes
    QVERIFY(frame.isNull());
    QVERIFY(table.Find(*address) == nullptr);
}

// What a person sees, saved as PNG files in the build tree. Under Xvfb the
// platform's own rendering is used; headless runs save their own copies.
void AdapterUiTest::screenshots() {
    QVERIFY(Open(""));
    const QString dir = QStringLiteral(MARLO_ARTIFACT_DIR);
    QDir().mkpath(dir);
    const QString suffix = QGuiApplication::platformName();
    auto save = [&](QWidget* widget, const QString& name) {
        const QString path = QStringLiteral("%1/%2-%3.png").arg(dir, name, suffix);
        QVERIFY2(widget->grab().save(path), qPrintable(path));
    };

    m_windows->ToggleCardStatus();
    CStatusFrame* status = m_windows->StatusFrame();
    QVERIFY(QTest::qWaitForWindowExposed(status));
    save(status, QStringLiteral("card-status-line"));
    status->Sheet()->setCurrentIndex(1);
    save(status, QStringLiteral("card-status-link1"));

    CAdapterInfoSheet info(m_doc->Configuration(), m_main.get());
    info.show();
    QVERIFY(QTest::qWaitForWindowExposed(&info));
    save(&info, QStringLiteral("adapter-information-configuration"));
    info.Tabs()->setCurrentIndex(1);
    save(&info, QStringLiteral("adapter-information-product"));
    info.hide();

    // The statistics form in its child frame, as the main window holds it.
    auto* area = new QMdiArea;
    m_main->setCentralWidget(area);
    CStatsForm* form = MakeStatsForm();
    auto* frame = area->addSubWindow(form);
    frame->setWindowTitle(QStringLiteral("OrinBri1"));
    frame->show();
    QTRY_VERIFY(!Value(form, "link1MTU").isEmpty());
    save(m_main.get(), QStringLiteral("card-statistics"));
    frame->setWidget(nullptr);  // the form is the fixture's to delete
    form->setParent(nullptr);
}

QTEST_MAIN(AdapterUiTest)
#include "AdapterUiTest.moc"
