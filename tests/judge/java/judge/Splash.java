package judge;

import java.awt.Frame;
import java.awt.SplashScreen;

/** What the program sees of the launcher's splash; with an argument, whether its first frame closes it. */
public final class Splash {
    public static void main(String[] args) throws Exception {
        SplashScreen splash = SplashScreen.getSplashScreen();
        if (splash == null) {
            System.out.println("splash none");
            return;
        }
        System.out.println("splash visible=" + splash.isVisible() + " size=" + splash.getSize().width + "x"
                + splash.getSize().height + " url=" + splash.getImageURL());
        splash.createGraphics().fillRect(0, 0, 10, 10);
        splash.update();
        if (args.length == 0) return;
        Frame frame = new Frame("judge");
        frame.setSize(200, 100);
        frame.setVisible(true);
        for (int i = 0; i < 100 && SplashScreen.getSplashScreen() != null; i++) Thread.sleep(50);
        System.out.println("after the frame " + (SplashScreen.getSplashScreen() == null ? "closed" : "still shown"));
        frame.dispose();
    }
}
