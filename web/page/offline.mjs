// The page working offline: the service worker that keeps its files,
// registered a while after the page has loaded, so that fetching and keeping
// them takes nothing from the first sounds. (A page served without a secure
// origin has none.)
const kRegisterAfterMs = 2000;

export function install(page) {
    if (!('serviceWorker' in navigator))
        return;
    const register = () => navigator.serviceWorker.register('./sw.js').catch((error) => {
        page.say(`This page will not work offline: the browser refused its service worker (${error.message}).`,
                 { error: true, also: true });
    });
    if (document.readyState === 'complete')
        setTimeout(register, kRegisterAfterMs);
    else
        window.addEventListener('load', () => setTimeout(register, kRegisterAfterMs), { once: true });
}
