#include "gtk/WebViewBridge.h"

#include "core/ScriptLiteral.h"

namespace twdesktop {

std::string BridgeUserScript(std::string_view ANonce) {
  // The handler and its postMessage are captured now, before any page script runs, and the
  // webview object cannot be replaced afterwards.
  return std::string(R"JS((() => {
  'use strict';
  const handler = window.webkit && window.webkit.messageHandlers &&
      window.webkit.messageHandlers[)JS") +
         JsonStringLiteral(kBridgeHandlerName) + R"JS(];
  if (!handler) return;
  const send = handler.postMessage.bind(handler);
  const nonce = )JS" +
         JsonStringLiteral(ANonce) +
         R"JS(;
  const webview = new EventTarget();
  Object.defineProperty(webview, 'postMessage', {
    value: (message) => send(typeof message === 'string' ? [nonce, message] : [nonce]),
  });
  const chrome = window.chrome || {};
  Object.defineProperty(chrome, 'webview', {value: webview, enumerable: true});
  if (window.chrome !== chrome) {
    Object.defineProperty(window, 'chrome', {value: chrome, enumerable: true});
  }
})();
)JS";
}

std::string MessageDeliveryScript(std::string_view AMessage) {
  return "window.chrome.webview.dispatchEvent(new MessageEvent('message', {data: " +
         JsonStringLiteral(AMessage) + "}));";
}

}  // namespace twdesktop
