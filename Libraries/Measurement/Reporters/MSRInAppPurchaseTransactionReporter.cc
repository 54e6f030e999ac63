#include "Libraries/Measurement/Reporters/MSRInAppPurchaseTransactionReporter.h"

#include "Libraries/Measurement/Core/MSRMeasurement.h"
#include "Libraries/Measurement/Core/MSRNSDataAdditions.h"

const std::shared_ptr<MSRInAppPurchaseTransactionReporter>& MSRInAppPurchaseTransactionReporter::sharedInstance() {
  static const auto* instance =
      new std::shared_ptr<MSRInAppPurchaseTransactionReporter>(std::make_shared<MSRInAppPurchaseTransactionReporter>());
  return *instance;
}

void MSRInAppPurchaseTransactionReporter::paymentQueueUpdatedFilteredTransactions(sk::PaymentQueue&,
                                                                                const sk::PaymentTransactionList&) {}

std::optional<std::string> MSRInAppPurchaseTransactionReporter::transactionFingerprint(
    const sk::PaymentTransaction* transaction) {
  auto log = MSRMeasurement::monitor();
  if (!transaction) {
    log->logWithLevel(2, 21014, "Transaction is nil");
    return std::nullopt;
  }
  if (transaction->transactionState != sk::PaymentTransactionState::Purchased) return std::nullopt;
  ns::Value code(transaction->error ? transaction->error->code() : int64_t{0});
  const auto& identifier = transaction->transactionIdentifier;
  if (!identifier) {
    log->logWithLevel(2, 21015, "Transaction identifier is nil. Code", MSRLogContext(code));
    return std::nullopt;
  }
  if (identifier->empty()) {
    log->logWithLevel(2, 21016, "Transaction identifier is empty. Code", MSRLogContext(code));
    return std::nullopt;
  }
  if (identifier->find_first_not_of("0-") == std::string::npos) {
    log->logWithLevel(2, 21017, "Transaction identifier is only zeroes. Code", MSRLogContext(code));
    return std::nullopt;
  }
  return msr_MD5String(*identifier);
}
