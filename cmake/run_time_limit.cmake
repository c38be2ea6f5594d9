# The longest a scheduled run may take before its scheduler stops it, shared by the systemd
# service (TimeoutStartSec, the cron example's timeout) and the Windows task (ExecutionTimeLimit).
#
# The longest a run may take while the FTP server keeps within the compiled-in timeouts: a connection
# and login twice (libcurl reconnects after a failed step), a dozen replies (directory, upload,
# size, rename) and one stall of the upload, plus 10 minutes for reading the databases and moving
# the file; before it, a run started by hand may hold the shop, and the scheduled run waits for it
# up to CATPUB_RUN_LOCK_TIMEOUT. A scheduled run is only stopped beyond both.
#
# Gives CATPUB_SERVICE_TIMEOUT (seconds), CATPUB_SERVICE_TIMEOUT_TEXT (how it adds up) and
# CATPUB_TASK_EXECUTION_TIME_LIMIT (the same time as an XML duration, e.g. PT1H24M, in the form
# the Task Scheduler shows).
math(EXPR CATPUB_SERVICE_TIMEOUT "${CATPUB_RUN_LOCK_TIMEOUT} + 600 \
+ 2 * ${PUBLISH_FTP_CONNECT_TIMEOUT} + 12 * ${PUBLISH_FTP_REPLY_TIMEOUT} + ${PUBLISH_FTP_STALL_TIMEOUT}")
set(CATPUB_SERVICE_TIMEOUT_TEXT "${CATPUB_RUN_LOCK_TIMEOUT} s waiting for another run \
+ 600 s + 2 x ${PUBLISH_FTP_CONNECT_TIMEOUT} s to connect \
+ 12 x ${PUBLISH_FTP_REPLY_TIMEOUT} s for replies + ${PUBLISH_FTP_STALL_TIMEOUT} s of stall")

math(EXPR hours "${CATPUB_SERVICE_TIMEOUT} / 3600")
math(EXPR minutes "${CATPUB_SERVICE_TIMEOUT} % 3600 / 60")
math(EXPR seconds "${CATPUB_SERVICE_TIMEOUT} % 60")
set(CATPUB_TASK_EXECUTION_TIME_LIMIT "PT")
if(hours)
  string(APPEND CATPUB_TASK_EXECUTION_TIME_LIMIT "${hours}H")
endif()
if(minutes)
  string(APPEND CATPUB_TASK_EXECUTION_TIME_LIMIT "${minutes}M")
endif()
if(seconds)
  string(APPEND CATPUB_TASK_EXECUTION_TIME_LIMIT "${seconds}S")
endif()
unset(hours)
unset(minutes)
unset(seconds)
