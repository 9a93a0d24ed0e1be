#include "hotfix/program.h"

#include <new>
#include <string>

#include "deployment/deployment_layer.h"
#include "hotfix/form1.h"
#include "platform/entry.h"

namespace hotfix {

void ReportRuntimeError(platform::Platform& platform,
                        const platform::RuntimeFailure& failure) {
  const platform::Text text =
      platform::Concat({"Run-time error '", platform::Decimal(failure.number()),
                        "':\r\n\r\n", failure.description()});
  platform.MsgBox(text, platform::kMbIconHand, platform::Text(kProgramTitle));
}

void RunHotfix(platform::Platform& platform, platform::DeploymentServices& services) {
  // The sequence runs on the deployment layer: switches, log, exit status.
  deployment::DeploymentLayer layer(platform, services);
  try {
    layer.Begin();
    Form1 form(layer);
    form.Form_Load();  // ends the program itself when the sequence is done
  } catch (const platform::RuntimeFailure& failure) {
    ReportRuntimeError(layer, failure);
  } catch (const std::bad_alloc&) {
    ReportRuntimeError(layer, platform::FailureOutOfMemory());
  } catch (const std::exception&) {
    // Nothing below should throw anything else; if it does, say so and end.
    ReportRuntimeError(layer, platform::RuntimeFailure(51, u"Internal error"));
  }
  layer.End(kExitFailure);
}

}  // namespace hotfix

namespace platform {

void ProgramMain(Platform& platform, DeploymentServices& services) {
  hotfix::RunHotfix(platform, services);
}

}  // namespace platform
