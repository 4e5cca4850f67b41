import QtQuick
import QtTest
import Tessaravolt

Item {
    id: scene
    width: 400
    height: 300

    TestCase {
        id: testCase
        name: "BaseItems"
        when: windowShown

        Component {
            id: textComponent
            AppText { text: "Tessaravolt" }
        }

        Component {
            id: shellComponent
            PageShell {}
        }

        function test_appTextDefaults() {
            const text = createTemporaryObject(textComponent, scene)
            compare(String(text.color), "#ffffff")
            compare(text.font.pixelSize, 15)
            compare(text.font.letterSpacing, 0)
            compare(text.skipLangCheck, false)
            compare(text.font.family, Theme.suisseIntlRegular.name)
            text.skipLangCheck = true
            compare(text.font.family, Theme.suisseIntlRegular.name)
        }

        function test_pageShellIsCoveredByTheBackground() {
            const shell = createTemporaryObject(shellComponent, scene, { width: 300, height: 200 })
            waitForRendering(shell)
            const image = grabImage(shell)
            for (const [x, y] of [[0, 0], [299, 0], [0, 199], [299, 199], [150, 100]])
                verify(Qt.colorEqual(image.pixel(x, y), "#1e1e1e"), `pixel ${x},${y} is ${image.pixel(x, y)}`)
        }
    }
}
