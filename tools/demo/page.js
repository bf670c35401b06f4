// The payment page's script, as Wine's script host runs it:
//   cscript //nologo page.js LIST-URL DATA-URL PROGID
// (the ProgID is the release identity's: NAME.VexaUpdaterCtrl.1)
var updater = new ActiveXObject(WScript.Arguments(2));
updater.SetTitle("Tarnix \uC804\uC790\uACB0\uC81C");  // Tarnix 전자결제
updater.SetListFileURL(WScript.Arguments(0));
updater.SetDataFileURL(WScript.Arguments(1));
WScript.Echo("DoUpdate returned " + updater.DoUpdate());
WScript.Echo("GetLastRun " + updater.GetLastRun());
WScript.Echo("GetVersion " + updater.GetVersion());
WScript.Echo("END-OK");
