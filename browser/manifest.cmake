# Writes one browser's manifest.json from the shared base (cmake -P):
#   -DBASE=manifest.base.json -DBROWSER=chromium|firefox -DKEY_FILE=... -DVERSION=... -DOUT=...
# Chromium runs the background script as a service worker and takes its fixed ID from the
# public key; Firefox runs it as a background script and takes the ID from its own settings.
file(READ ${BASE} manifest)
string(REPLACE "@PROJECT_VERSION@" "${VERSION}" manifest "${manifest}")
if(BROWSER STREQUAL "chromium")
  file(READ ${KEY_FILE} key)
  string(STRIP "${key}" key)
  string(JSON manifest SET "${manifest}" background
    [=[{"service_worker": "background.js", "type": "module"}]=])
  string(JSON manifest SET "${manifest}" minimum_chrome_version [=["120"]=])
  string(JSON manifest SET "${manifest}" key "\"${key}\"")
elseif(BROWSER STREQUAL "firefox")
  string(JSON manifest SET "${manifest}" background
    [=[{"scripts": ["background.js"], "type": "module"}]=])
  string(JSON manifest SET "${manifest}" browser_specific_settings [=[{
    "gecko": {
      "id": "quillbay@verrin.example",
      "strict_min_version": "142.0",
      "data_collection_permissions": {"required": ["none"]}
    }}]=])
else()
  message(FATAL_ERROR "BROWSER is chromium or firefox, not '${BROWSER}'")
endif()
file(WRITE ${OUT} "${manifest}\n")
