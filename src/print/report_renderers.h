#pragma once

#include "print/print_job_driver.h"
#include "print/sheet_printer.h"

namespace vexora::print {

// The print job driver's renderers, printing through the report template. The copies
// are the main window's copies value, read by the renderers themselves.
class ReportRenderers : public SheetRenderers {
public:
    ReportRenderers(SheetPrinter& printer, int copies) : printer_(printer), copies_(copies) {}

    bool StampaScheda(TModalitaQuiz category, TTipoDiStampa kind,
                      const std::string& label) override {
        return printer_.StampaScheda(category, kind, label, copies_);
    }
    bool StampaCorrettore(TModalitaQuiz category, int numCorr) override {
        return printer_.StampaCorrettore(category, numCorr, copies_);
    }
    std::size_t beginRun() override { return printer_.beginRun(); }
    std::size_t pendingOutputs() const override { return printer_.pendingOutputs(); }
    bool settleOldest() override { return printer_.settleOldest(); }
    void endRun() override { printer_.endRun(); }
    RunNotices takeRunNotices() override { return printer_.takeRunNotices(); }

private:
    SheetPrinter& printer_;
    int copies_;
};

}  // namespace vexora::print
