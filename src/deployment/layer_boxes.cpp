#include "deployment/deployment_layer.h"

#include "deployment/exit_status.h"
#include "deployment/layer_common.h"
#include "platform/buttons.h"

namespace deployment {
namespace {

// The countdown: for the person at the machine, Italian like the restart
// question.
constexpr platform::Latin1 kCountdownText{
    "Windows verr\xE0 riavviato per completare l'aggiornamento CR40517.\r\n\r\n"
    "Riavvio tra {} secondi. Salvare il lavoro e chiudere i programmi aperti."};
constexpr char16_t kRestartNow[] = u"Riavvia ora";
constexpr char16_t kCancel[] = u"Annulla";

Text HexNumber(std::uint32_t value) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  Text out;
  do {
    out.insert(out.begin(), kDigits[value % 16]);
    value /= 16;
  } while (value != 0);
  out.insert(0, u"0x");
  return out;
}

Text ButtonName(Long code) {
  const std::u16string_view name = platform::ButtonName(code);
  return name.empty() ? Concat({"button ", Decimal(code)}) : Text(name);
}

}  // namespace

Long DeploymentLayer::MsgBox(const Text& prompt, Long buttons, const std::optional<Text>& title) {
  // The restart question is the program's one Yes/No box.
  const bool restart_question = (buttons & 0xF) == platform::kMbYesNo;
  if (restart_question && !switches_.norestart && !switches_.promptrestart)
    if (const auto seconds = CountdownSeconds()) return WarnBeforeRestart(*seconds, title);
  std::optional<Long> answer;
  Text why;
  if (restart_question && switches_.norestart) {
    answer = platform::kIdNo, why = u"/norestart";
  } else if (restart_question && switches_.promptrestart && desktop_visible_) {
    // asked for: shown even under /quiet or /passive
  } else if (restart_question && switches_.forcerestart) {
    answer = platform::kIdYes, why = u"/forcerestart";
  } else if (switches_.silent() && !(restart_question && switches_.promptrestart)) {
    answer = restart_question ? platform::kIdYes : platform::kIdOk;
    why = switches_.quiet ? u"/quiet" : u"/passive";
  } else if (!desktop_visible_) {
    // As if nobody answered: the default button, so the restart question is
    // No and a run without switches never restarts Windows unasked.
    answer = platform::DefaultButton(buttons), why = u"no visible desktop";
  }
  const Long result = answer ? *answer : inner().MsgBox(prompt, buttons, title);
  log_.Write(Concat({answer ? Part("Message box not shown (") : Part("Message box shown, answered "), why,
                     answer ? Part("), taken as ") : Part(""), ButtonName(result), ": \"",
                     title ? platform::TextPart(*title) : platform::TextPart("(default title)"),
                     "\"\n", prompt}));
  return result;
}

// /warnrestart, and /passive when no other restart switch says otherwise,
// as the Windows update packages do.
std::optional<Long> DeploymentLayer::CountdownSeconds() const {
  if (switches_.warnrestart) return switches_.warnrestart;
  if (switches_.passive && !switches_.forcerestart) return kDefaultCountdownSeconds;
  return std::nullopt;
}

// Stands in for the restart question: Riavvia ora, or the end of the
// countdown, is Yes; Annulla, or closing the box, is No.
Long DeploymentLayer::WarnBeforeRestart(Long seconds, const std::optional<Text>& title) {
  log_.Write(Concat({"Restart countdown: ", Decimal(seconds), " s"}));
  Long result = desktop_visible_ ? services_.RestartCountdown(title.value_or(kTitle), Concat({kCountdownText}),
                                                           seconds, kRestartNow, kCancel)
                                 : 0;
  if (result == 0) {
    // Not shown (no visible desktop, or no window could be made): as if
    // nobody answered, the time passes, then the restart.
    services_.Sleep(seconds * 1000);
    result = platform::kIdTimeout;
  }
  const bool restart = result != platform::kIdCancel;
  log_.Write(result == platform::kIdOk       ? u"Restart countdown answered Riavvia ora: restart"
             : result == platform::kIdCancel ? u"Restart countdown answered Annulla: no restart"
             : desktop_visible_              ? u"Restart countdown ran out: restart"
                                             : u"Restart countdown not shown (no visible desktop); "
                                               u"its time passed: restart");
  return restart ? platform::kIdYes : platform::kIdNo;
}

Long DeploymentLayer::ExitWindowsEx(Long uFlags, Long dwReason) {
  const Long accepted = inner().ExitWindowsEx(uFlags, dwReason);
  restart_refused_ = accepted == 0;
  log_.Write(Concat({"Restart requested (ExitWindowsEx flags ",
                     HexNumber(static_cast<std::uint32_t>(uFlags)), ", reason ",
                     HexNumber(static_cast<std::uint32_t>(dwReason)), "): Windows ",
                     accepted != 0 ? Part("accepted it") : Part("refused it")}));
  return accepted;
}

}  // namespace deployment
