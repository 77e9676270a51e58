// A continuous run in the real window on the offscreen platform: instructions per second with
// the window live, repaints per second during the run, and the time from a click on "&Parar"
// to the end of the run. The click is posted from another thread, so its wait for the run's
// next event pump counts too.
//
//   vintrel_gui_bench [SECONDS [HEX [TARGET_IPS]]]
//
// HEX: a program to load (default: the loop below, the same words as loop.asm of the shared
// benchmarks); TARGET_IPS: the instructions per second to reach (default 4e7, what gpsim
// does on that loop on the reference machine).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "form1/form1.h"
#include "qt/form1_view.h"
#include "qt/qt_platform.h"

namespace {

using Clock = std::chrono::steady_clock;

// start: movlw 10h; movwf 0Ch; loop: incf 0Dh,f; addwf 0Eh,f; rlf 0Fh,f; decfsz 0Ch,f;
//        goto loop; goto start
constexpr int kLoop[] = {0x3010, 0x008C, 0x0A8D, 0x078E, 0x0D8F, 0x0B8C, 0x2802, 0x2800};

// Every executed step of a run yields once, also the idle yields the run loop skips.
class CountingPlatform : public vintrel::QtPlatform {
  public:
    long steps = 0;
    void yield() override {
        ++steps;
        QtPlatform::yield();
    }
    std::int64_t idleYields() override {
        const std::int64_t n = QtPlatform::idleYields();
        steps += n;
        return n;
    }
    void returnIdleYields(std::int64_t unused) override { steps -= unused; }
};

// Counts the window's repaints: one update request per flush of the window's backing store.
class RepaintCounter : public QObject {
  public:
    long repaints = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::UpdateRequest) ++repaints;
        return QObject::eventFilter(watched, e);
    }
};

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    double runSeconds = 3.0;
    if (argc > 1) runSeconds = std::atof(argv[1]);
    const char* hex = argc > 2 ? argv[2] : nullptr;
    const double targetIps = argc > 3 ? std::atof(argv[3]) : 4e7;
    QApplication app(argc, argv);

    CountingPlatform platform;
    vintrel::Form1 model(platform);
    if (hex) {
        model.carga(hex);
    } else {
        for (std::size_t i = 0; i < std::size(kLoop); ++i)
            model.chip.ProgramMemory[i] = kLoop[i];
        model.listaprog();
    }
    vintrel::Form1View view(model, platform);
    view.refresh();
    view.show();
    if (!QTest::qWaitForWindowExposed(&view)) {
        std::fputs("the window was not shown\n", stderr);
        return 1;
    }
    auto* run = view.findChild<QPushButton*>(QStringLiteral("ejecutar"));

    RepaintCounter counter;
    view.installEventFilter(&counter);
    if (view.windowHandle()) view.windowHandle()->installEventFilter(&counter);

    Clock::time_point started, clicked, ended;
    long stepsAtClick = 0;
    long repaintsAtStart = 0, repaintsAtClick = 0;
    std::uint64_t refreshesAtStart = 0, refreshesAtClick = 0;

    // The stop arrives from outside the run, like a user's click, and is handled in the run's
    // next event pump.
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::duration<double>(runSeconds));
        clicked = Clock::now();
        QMetaObject::invokeMethod(
            run,
            [&] {
                stepsAtClick = platform.steps;
                repaintsAtClick = counter.repaints;
                refreshesAtClick = view.refreshCount();
                QTest::mouseClick(run, Qt::LeftButton);
            },
            Qt::QueuedConnection);
    });
    repaintsAtStart = counter.repaints;
    refreshesAtStart = view.refreshCount();
    started = Clock::now();
    QTest::mouseClick(run, Qt::LeftButton);  // returns when the run has stopped
    ended = Clock::now();
    stopper.join();

    const double runFor = Seconds(clicked - started);
    const double ips = static_cast<double>(stepsAtClick) / runFor;
    const double fps = static_cast<double>(repaintsAtClick - repaintsAtStart) / runFor;
    const double refreshRate = static_cast<double>(refreshesAtClick - refreshesAtStart) / runFor;
    const double latencyMs = Seconds(ended - clicked) * 1000.0;
    const bool stopped = model.ejecutar.textIs("&Ejecutar");

    std::printf("run: %.2f s, %ld instructions, program counter %s, cycles %lld, stopped: %s\n",
                runFor, stepsAtClick, model.chip.RegPC.text().c_str(),
                static_cast<long long>(model.chip.CycleCount), stopped ? "yes" : "no");
    std::printf("instructions/s: %.3g (target >= %.3g) %s\n", ips, targetIps,
                ips >= targetIps ? "ok" : "LOW");
    std::printf("repaints/s: %.1f (window flushes; view refreshes %.1f/s) (target >= 30) %s\n", fps,
                refreshRate, fps >= 30 ? "ok" : "LOW");
    std::printf("stop latency: %.2f ms (target <= 50) %s\n", latencyMs,
                latencyMs <= 50 ? "ok" : "HIGH");
    return stopped ? 0 : 1;
}
