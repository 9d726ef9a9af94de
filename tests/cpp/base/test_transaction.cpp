#include "base/transaction.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Record {
    double input = 1.0;
    std::vector<double> results{1.0, 2.0};
    std::optional<std::string> label{"old"};
};

// Fills the results from the input, then throws when asked to: a failure after the first write.
void compute(Record& r, bool fail) {
    r.results.push_back(r.input);
    r.label = "new";
    if (fail) throw std::runtime_error("stopped");
}

TEST(Transaction, WithResultsAsideComputesIntoBlankResultsAndRestoresThemOnFailure) {
    Record r;
    r.input = 5.0;
    EXPECT_THROW(base::with_results_aside(r, [&] { compute(r, true); }, &Record::results, &Record::label),
                 std::runtime_error);
    EXPECT_EQ(r.results, (std::vector<double>{1.0, 2.0}));
    EXPECT_EQ(r.label, "old");
    base::with_results_aside(r, [&] { compute(r, false); }, &Record::results, &Record::label);
    EXPECT_EQ(r.results, (std::vector<double>{5.0}));  // blank while computed
    EXPECT_EQ(r.label, "new");
}

TEST(Transaction, OnCopyKeepsTheRecordUntilTheStepReturns) {
    Record r;
    r.input = 5.0;
    EXPECT_THROW(base::on_copy(r, [](Record& c) { compute(c, true); }), std::runtime_error);
    EXPECT_EQ(r.results, (std::vector<double>{1.0, 2.0}));
    EXPECT_EQ(r.label, "old");
    EXPECT_EQ(base::on_copy(r, [](Record& c) { compute(c, false); return c.results.size(); }), 3u);
    EXPECT_EQ(r.results, (std::vector<double>{1.0, 2.0, 5.0}));  // the step saw the stored results
    EXPECT_EQ(r.label, "new");
}

}  // namespace
